#include "PageSystemTime.h"

#include "ApplicationDeviceClass.h"
#include "ClockSetting.h"
#include "UiSound.h"
#include "UnitKeypad.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PageSystemTime::PageSystemTime(QWidget* parent) : Page(parent) {
    setObjectName("PageSystemTime");
    setProperty("role", "dialog");
    setFixedSize(760, 600);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(28, 20, 28, 20);
    auto* title = new QLabel("System time", this);
    title->setProperty("role", "title");
    v->addWidget(title);
    const UnitTime now = ApplicationDevice()->GetTime();
    const struct {
        const char* name;
        const char* label;
        int value, digits;
    } rows[5] = {{"timeYear", "Year", now.Year, 4},
                 {"timeMonth", "Month", now.Month, 2},
                 {"timeDay", "Day", now.Day, 2},
                 {"timeHour", "Hour", now.Hour, 2},
                 {"timeMinute", "Minute", now.Minute, 2}};
    auto* h = new QHBoxLayout;
    for (int i = 0; i < 5; ++i) {
        auto* col = new QVBoxLayout;
        col->addWidget(new QLabel(rows[i].label, this));
        fields_[i] = new QLineEdit(QString::number(rows[i].value), this);
        fields_[i]->setObjectName(rows[i].name);
        fields_[i]->setMaxLength(rows[i].digits);
        fields_[i]->setValidator(new QIntValidator(0, 9999, fields_[i]));
        fields_[i]->setAlignment(Qt::AlignCenter);
        fields_[i]->installEventFilter(this);
        col->addWidget(fields_[i]);
        h->addLayout(col);
    }
    v->addLayout(h);
    keypad_ = new UnitKeypad(UnitKeypad::Numeric, this);
    keypad_->SetTarget(fields_[0]);
    v->addWidget(keypad_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("timeCancel");
    cancel->setProperty("role", "cancel");
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("timeOk");
    ok->setProperty("role", "ok");
    for (QPushButton* b : {cancel, ok}) {
        b->setMinimumWidth(200);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Leave();
    });
    connect(ok, &QPushButton::clicked, this, &PageSystemTime::confirm);
}

bool PageSystemTime::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress)
        if (auto* e = qobject_cast<QLineEdit*>(watched)) keypad_->SetTarget(e);
    return Page::eventFilter(watched, event);
}

void PageSystemTime::confirm() {
    UiSound_Tap();
    const ClockFields f =
        ClockSetting::Parse(fields_[0]->text(), fields_[1]->text(), fields_[2]->text(),
                            fields_[3]->text(), fields_[4]->text());
    ApplicationDevice()->SetSystemClock(ClockSetting::DateArgv(f), ClockSetting::HwclockArgv());
    Leave();
}
