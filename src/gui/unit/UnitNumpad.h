// A number entry dialog: a title, the text field with the on-screen numeric keypad,
// "Cancel" and "OK". Named "numpadField", "numpadOk", "numpadCancel".
#pragma once

#include <QFrame>

class QLineEdit;

class UnitNumpad : public QFrame {
    Q_OBJECT
  public:
    UnitNumpad(const QString& title, const QString& text, QWidget* parent = nullptr);
    QString Text() const;

  signals:
    void ok();
    void cancel();

  private:
    QLineEdit* field_;
};
