// The error-code list of the operation screens: every tool error code with its text, in
// a scrolling table, and a close button.
#pragma once

#include <QFrame>

class QTableWidget;

class UnitErrorCodeList : public QFrame {
    Q_OBJECT
  public:
    explicit UnitErrorCodeList(QWidget* parent = nullptr);
    QTableWidget* Table() const { return table_; }

  signals:
    void closed();

  private:
    QTableWidget* table_;
};
