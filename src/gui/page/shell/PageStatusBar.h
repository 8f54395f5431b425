// The status bar across the top of every screen: date and time, the current tool, one
// icon per registered tool coloured by its link state with the "(connected/registered)"
// count, and the device icons (drives, tray, barcode scanner, Wi-Fi).
#pragma once

#include <QFrame>

class QLabel;
class Timer;

class PageStatusBar : public QFrame {
    Q_OBJECT
  public:
    explicit PageStatusBar(QWidget* parent = nullptr);
    static constexpr int MaxIcons = 8;

    // Link state classes, each with its own colour.
    enum StateClass { Connected, Failed, Busy, Connecting };
    static StateClass ClassOfState(int state);
    // Picture of a tool type: controller (1, 4), driver (2, 3), none otherwise.
    static QString PictureOfType(int type);

    void RefreshClock();
    void RefreshTools();
    void RefreshDevices();
    // While the tray reports a communication failure its icon blinks (500 ms).
    void SetTrayCommFail(bool failed);
    bool TrayCommFail() const { return trayFail_; }

  private:
    void blinkTray();
    QLabel* clock_;
    QLabel* tool_;
    QLabel* toolIcons_[MaxIcons];
    QLabel* count_;
    QLabel* devIcons_[MaxIcons];
    Timer* clockTimer_;
    Timer* blinkTimer_;
    int trayIndex_ = -1;
    bool trayFail_ = false;
    bool blinkOn_ = false;
};
