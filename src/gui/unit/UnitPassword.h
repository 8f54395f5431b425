// The login prompt: "Enter password", a masked field filled by the on-screen keypad,
// "OK" and "Cancel", and the blinking "Incorrect password !!!" message.
#pragma once

#include <QFrame>

class QLabel;
class QLineEdit;
class QPushButton;
class Timer;

class UnitPassword : public QFrame {
    Q_OBJECT
  public:
    explicit UnitPassword(QWidget* parent = nullptr);
    QString Text() const;
    void ClearText();
    // Wrong entry: the message blinks (500 ms timer, first tick after 10 ms), toggling
    // four times, then hides.
    void ShowIncorrect();
    bool IncorrectVisible() const;
    bool Blinking() const;
    Timer* BlinkTimer() const { return blink_; }

  signals:
    void ok();
    void cancel();

  private:
    void blinkTick();
    QLineEdit* field_;
    QLabel* error_;
    Timer* blink_;
    int toggles_ = 0;
};
