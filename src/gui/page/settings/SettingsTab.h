// The base of every settings tab: rows bound to device-object properties by name. A tab
// only lists its rows; the binding writes a choice to its property at once (the settings
// screen saves the file when it is left) and follows the property when it changes.
#pragma once

#include "Page.h"
#include "UnitKeypad.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;
class QLineEdit;

class SettingsTab : public Page {
    Q_OBJECT
  public:
    explicit SettingsTab(QWidget* parent = nullptr);

    // A label and exclusive choices for an enumeration property; choice i writes index i.
    // The buttons are named "<property>_<i>".
    QWidget* AddChoice(const char* property, const QString& label, const QStringList& choices);
    // A label and an on/off switch for a bool property, named after the property.
    QWidget* AddSwitch(const char* property, const QString& label);
    // A row of the tab's own (a text field and its button) shown only while `when` holds;
    // re-evaluated whenever a bound property changes.
    void ShowWhile(QWidget* row, std::function<bool()> when);

    // Re-reads every bound property and row condition.
    Q_SLOT void Refresh() override;

    // A text entry of the tab's own, named `name`: not bound, the tab applies it when the
    // operator confirms. While it has the focus the tab's keypad types into it; the
    // keypad's "Done" (named "keypadDone") puts the keypad away.
    QLineEdit* AddEntry(const char* name, UnitKeypad::Mode mode);
    // A label and a control (or a group of controls) as one row; a row label of "" makes
    // a section heading when `control` is null.
    QWidget* addRow(const QString& label, QWidget* control);
    // Rows added after this go into a second column beside the first, from the top (a tab
    // with more rows than the screen is tall).
    void NextColumn();
    // The open keypad's target, or null.
    QLineEdit* KeypadTarget() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Binding {
        QByteArray property;
        QButtonGroup* choices = nullptr;
        QCheckBox* toggle = nullptr;
    };
    void follow(const char* property);
    void showKeypad(QLineEdit* target);
    QGridLayout* grid_;
    int column_ = 0; // the grid column of the current rows' labels
    int rows_ = 0;   // rows in the current column
    QWidget* pad_ = nullptr;
    UnitKeypad* keys_[2] = {};
    QPointer<QLineEdit> target_;
    QList<Binding> bindings_;
    QList<QPair<QWidget*, std::function<bool()>>> conditions_;
};
