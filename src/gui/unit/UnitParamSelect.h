// The selector dialog of a parameter line: one choice of a list, or the bits of a mask
// with an optional select-all, initialised from the register's value. "OK" gives the code
// or mask (`ok`), "Cancel" nothing. Items are named "selectItem<i>", the select-all
// "selectAll", the buttons "selectOk" and "selectCancel".
#pragma once

#include "page/parameters/ParameterMap.h"

#include <QFrame>
#include <QList>

class QPushButton;

class UnitParamSelect : public QFrame {
    Q_OBJECT
  public:
    UnitParamSelect(int reg, int value, QWidget* parent = nullptr);
    int Value() const { return value_; }

  signals:
    void ok(int value);
    void cancel();

  private:
    void display();
    int reg_;
    int value_;
    ParameterMap::Selector selector_;
    QList<QPushButton*> items_;
};
