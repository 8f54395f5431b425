// The base of every settings tab: rows bound to device-object properties by name. A tab
// only lists its rows; the binding writes a choice to its property at once (the settings
// screen saves the file when it is left) and follows the property when it changes.
#pragma once

#include "Page.h"

#include <QList>
#include <QStringList>
#include <functional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QGridLayout;

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

  protected:
    QWidget* addRow(const QString& label, QWidget* control);

  private:
    struct Binding {
        QByteArray property;
        QButtonGroup* choices = nullptr;
        QCheckBox* toggle = nullptr;
    };
    void follow(const char* property);
    QGridLayout* grid_;
    QList<Binding> bindings_;
    QList<QPair<QWidget*, std::function<bool()>>> conditions_;
};
