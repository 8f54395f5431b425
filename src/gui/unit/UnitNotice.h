// A short notice over a screen ("Job not found\n..."): shown at full strength, then faded
// out over 1000 ms; a new notice replaces the text and starts the fade again.
#pragma once

#include <QLabel>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

class UnitNotice : public QLabel {
    Q_OBJECT
  public:
    static constexpr int FadeMs = 1000;

    explicit UnitNotice(QWidget* parent = nullptr);
    // Shows `text` centred over the parent and starts the fade.
    void Show(const QString& text);
    // Still on screen (the fade has not ended).
    bool Showing() const;
    double Opacity() const;

  private:
    QGraphicsOpacityEffect* effect_;
    QPropertyAnimation* fade_;
};
