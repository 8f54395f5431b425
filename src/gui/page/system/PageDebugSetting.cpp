#include "PageDebugSetting.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

const PageDebugSetting::Flag PageDebugSetting::Flags[10] = {
    {"DebugFlagDisco", "Discovery"}, {"DebugFlagInput", "Input"},
    {"DebugFlagOutput", "Output"},   {"DebugFlagBarcode", "Barcode"},
    {"DebugFlagSetting", "Setting"}, {"DebugFlagModbus", "Modbus"},
    {"DebugFlagNetlink", "Netlink"}, {"DebugFlagEwevent", "Ew event"},
    {"DebugFlagBEF", "BEF"},         {"DebugFlagBST", "BST"}};

PageDebugSetting::PageDebugSetting(QWidget* parent) : QFrame(parent) {
    setObjectName("PageDebugSetting");
    setProperty("role", "dialog");
    setFixedSize(720, 560);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    auto* title = new QLabel("Debug flags", this);
    title->setProperty("role", "title");
    v->addWidget(title);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(40);
    ApplicationDeviceClass* dev = ApplicationDevice();
    for (int i = 0; i < 10; ++i) {
        auto* t = new QCheckBox(Flags[i].Label, this);
        t->setObjectName(QString("flag%1").arg(QString(Flags[i].Property).mid(9)));
        toggles_[i] = t;
        grid->addWidget(t, i % 5, i / 5);
        t->setChecked(dev->property(Flags[i].Property).toBool());
        const char* name = Flags[i].Property;
        connect(t, &QCheckBox::toggled, this, [dev, name](bool on) {
            UiSound_Tap();
            dev->setProperty(name, on);
        });
        // Follow the property when something else switches the flag.
        connect(dev, &ApplicationDeviceClass::DebugFlagsChanged, t, [t, dev, name] {
            QSignalBlocker block(t);
            t->setChecked(dev->property(name).toBool());
        });
    }
    v->addLayout(grid, 1);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("debugSettingClose");
    close->setMinimumWidth(200);
    row->addWidget(close);
    v->addLayout(row);
    connect(close, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit closed();
    });
}
