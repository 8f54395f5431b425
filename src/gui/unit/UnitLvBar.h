// The level bar of a parameter line: minus, the value (pressed: the numpad), plus, and a
// bar showing where the value lies between its limits. Plus and minus step by one within
// the limits; the numpad's text is read with the line's decimals and refused with the
// invalid-value message outside the limits. Every value taken is announced by `changed`
// (the owner writes it). An invalid bar (failed read) shows "-" and takes no input.
// Children are named "<name>Minus", "<name>Value", "<name>Plus" after SetName.
#pragma once

#include "Navigator.h"

#include <QWidget>

class QProgressBar;
class QPushButton;

class UnitLvBar : public QWidget {
    Q_OBJECT
  public:
    explicit UnitLvBar(QWidget* parent = nullptr);
    ~UnitLvBar() override;
    void SetName(const QString& name);
    void SetTitle(const QString& title); // the numpad's title
    void SetDecimals(int decimals);      // 0, 1 or 2
    void SetLimits(int lower, int upper);
    // Limits, value and validity at once, redrawn once and only when one of them changed.
    void SetState(int lower, int upper, int value, bool valid);
    void SetValue(int value);
    void SetValid(bool valid);
    int Value() const { return value_; }
    int Lower() const { return lower_; }
    int Upper() const { return upper_; }
    int Decimals() const { return decimals_; }
    bool Valid() const { return valid_; }
    // The numpad while open.
    QWidget* Numpad() const { return numpad_.dialog; }

  signals:
    void changed(int value);

  private:
    void step(int direction);
    void openNumpad();
    void entered(const QString& text);
    void display();

    QPushButton* minus_;
    QPushButton* value_button_;
    QPushButton* plus_;
    QProgressBar* level_;
    QString title_;
    int decimals_ = 0, lower_ = 0, upper_ = 0, value_ = 0;
    bool valid_ = false;
    bool displayed_ = false; // display() ran once: SetState may skip an unchanged state
    ModalHandle numpad_;
    ModalHandle error_;
};
