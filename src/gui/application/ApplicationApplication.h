// The root object: the one top-level window of 1280 x 800 that holds the home screen,
// the status bar and the root timers.
#pragma once

#include <QWidget>

class ApplicationApplication : public QWidget {
    Q_OBJECT
public:
    explicit ApplicationApplication(QWidget* parent = nullptr);
    // Initialises the root with the screen size.
    void Init(int width, int height);
};
