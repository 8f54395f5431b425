// One parameter line: its title and its editor, configured per line with the editor kind,
// title, register, decimals, value with its limits (or none after a failed read: "-"),
// and a type code for lines that carry one. A value taken on the line is written at once
// (value + type code x 1000, low 16 bits) and the list refreshes through its action; the
// tool is dismissed instead after its parameters were initialised (252 := 77). A write
// the tool refuses is told.
// Editors: a level bar for values, a switch for values limited to 0 and 1, a button
// opening the selector dialog for lists and masks. Named "param<reg>" with
// "param<reg>Title", the bar's "param<reg>Minus/Value/Plus", "param<reg>Switch",
// "param<reg>Select".
#pragma once

#include "Navigator.h"
#include "page/parameters/ParamBlock.h"
#include "page/parameters/ParameterMap.h"

#include <QFrame>
#include <functional>

class QLabel;
class QPushButton;
class UnitLvBar;
class UnitRectSwitch;

class UnitParamWrapper : public QFrame {
    Q_OBJECT
  public:
    UnitParamWrapper(ParamPort& port, std::function<void()> refresh, QWidget* parent = nullptr);
    ~UnitParamWrapper() override;
    void Configure(const ParameterMap::Line& line, const ParamValue& value, int typeCode = 0);
    int Reg() const { return line_.Reg; }
    const ParamValue& Value() const { return value_; }
    UnitLvBar* Bar() const { return bar_; }

  private:
    void take(int value);
    void openSelector();

    ParamPort& port_;
    std::function<void()> refresh_;
    ParameterMap::Line line_;
    ParamValue value_;
    int typeCode_ = 0;
    bool configured_ = false;
    QLabel* title_;
    UnitLvBar* bar_;
    UnitRectSwitch* switch_;
    QPushButton* select_;
    ModalHandle selector_;
    ModalHandle error_;
};
