// The vendor tab of the system screen (service level): the vendor text, edited on the
// text keypad and written to the vendor file at once, and the touch test.
#pragma once

#include "Navigator.h"
#include "Page.h"

class QLineEdit;
class UnitMessageBox;
class UnitTextKeypad;

class PageSystemVendor : public Page {
    Q_OBJECT
  public:
    explicit PageSystemVendor(QWidget* parent = nullptr);
    void Init() override { Refresh(); }
    void Refresh() override;
    UnitTextKeypad* Keypad() const;
    UnitMessageBox* Message() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void edit();
    void apply();

    QLineEdit* field_;
    ModalHandle keypad_;
    ModalHandle message_;
};
