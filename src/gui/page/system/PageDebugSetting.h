// The debug settings dialog: one toggle per debug flag, bound to its device-object
// property, so a switch takes effect at once.
#pragma once

#include <QFrame>

class QCheckBox;

class PageDebugSetting : public QFrame {
    Q_OBJECT
  public:
    explicit PageDebugSetting(QWidget* parent = nullptr);
    struct Flag {
        const char* Property;
        const char* Label;
    };
    static const Flag Flags[10];
    QCheckBox* Toggle(int index) const { return toggles_[index]; }

  signals:
    void closed();

  private:
    QCheckBox* toggles_[10];
};
