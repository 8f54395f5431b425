// The clock editor: year, month, day, hour and minute filled with the current time and a
// numeric keypad that types into the field last touched. "OK" ("timeOk") sets the system
// clock and then the hardware clock through the command runner (ClockSetting makes the
// command lines); "Cancel" ("timeCancel") changes nothing; both close the editor.
// Fields "timeYear", "timeMonth", "timeDay", "timeHour", "timeMinute".
#pragma once

#include "Page.h"

class QLineEdit;
class UnitKeypad;

class PageSystemTime : public Page {
    Q_OBJECT
  public:
    explicit PageSystemTime(QWidget* parent = nullptr);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void confirm();
    QLineEdit* fields_[5];
    UnitKeypad* keypad_;
};
