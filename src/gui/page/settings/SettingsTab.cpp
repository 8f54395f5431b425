#include "SettingsTab.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

SettingsTab::SettingsTab(QWidget* parent) : Page(parent) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 16, 32, 16);
    grid_ = new QGridLayout;
    grid_->setHorizontalSpacing(32);
    grid_->setVerticalSpacing(10);
    grid_->setColumnStretch(1, 1);
    v->addLayout(grid_);
    v->addStretch(1);
}

QWidget* SettingsTab::addRow(const QString& label, QWidget* control) {
    const int row = rows_++;
    auto* l = new QLabel(label, this);
    if (!control) {
        l->setProperty("role", "subtitle");
        grid_->addWidget(l, row, column_, 1, 2);
        return l;
    }
    grid_->addWidget(l, row, column_);
    grid_->addWidget(control, row, column_ + 1);
    // The label is hidden with its row.
    control->setProperty("rowLabel", QVariant::fromValue<QObject*>(l));
    return control;
}

void SettingsTab::NextColumn() {
    // An empty grid column between the two keeps them apart.
    column_ += 3;
    rows_ = 0;
    grid_->setHorizontalSpacing(16);
    grid_->setColumnMinimumWidth(column_ - 1, 16);
    grid_->setColumnStretch(column_ + 1, 1);
}

void SettingsTab::follow(const char* property) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    const QMetaObject* mo = dev->metaObject();
    QMetaProperty mp = mo->property(mo->indexOfProperty(property));
    if (!mp.hasNotifySignal()) return;
    connect(dev, mp.notifySignal(), this,
            metaObject()->method(metaObject()->indexOfSlot("Refresh()")), Qt::UniqueConnection);
}

QWidget* SettingsTab::AddChoice(const char* property, const QString& label,
                                const QStringList& choices) {
    auto* box = new QWidget(this);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    Binding b{property};
    b.choices = new QButtonGroup(box);
    for (int i = 0; i < choices.size(); ++i) {
        auto* button = new QPushButton(choices[i], box);
        button->setObjectName(QString("%1_%2").arg(property).arg(i));
        button->setCheckable(true);
        b.choices->addButton(button, i);
        h->addWidget(button);
    }
    h->addStretch(1);
    QByteArray name(property);
    connect(b.choices, &QButtonGroup::idClicked, this, [name](int i) {
        UiSound_Tap();
        ApplicationDevice()->setProperty(name.constData(), i);
    });
    bindings_.append(b);
    follow(property);
    Refresh();
    return addRow(label, box);
}

QWidget* SettingsTab::AddSwitch(const char* property, const QString& label) {
    Binding b{property};
    b.toggle = new QCheckBox(this);
    b.toggle->setObjectName(property);
    QByteArray name(property);
    connect(b.toggle, &QCheckBox::toggled, this, [name](bool on) {
        UiSound_Tap();
        ApplicationDevice()->setProperty(name.constData(), on);
    });
    bindings_.append(b);
    follow(property);
    Refresh();
    return addRow(label, b.toggle);
}

void SettingsTab::ShowWhile(QWidget* row, std::function<bool()> when) {
    conditions_.append({row, std::move(when)});
    Refresh();
}

void SettingsTab::Refresh() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    for (const Binding& b : bindings_) {
        QVariant value = dev->property(b.property.constData());
        if (b.choices) {
            // An index outside the choices (a hand-edited file) checks none.
            QSignalBlocker block(b.choices);
            QAbstractButton* on = b.choices->button(value.toInt());
            b.choices->setExclusive(false);
            for (QAbstractButton* button : b.choices->buttons())
                button->setChecked(button == on);
            b.choices->setExclusive(true);
        } else if (b.toggle) {
            QSignalBlocker block(b.toggle);
            b.toggle->setChecked(value.toBool());
        }
    }
    for (const auto& [row, when] : conditions_) {
        bool shown = when();
        row->setVisible(shown);
        if (auto* l = qobject_cast<QWidget*>(row->property("rowLabel").value<QObject*>()))
            l->setVisible(shown);
    }
}

QLineEdit* SettingsTab::AddEntry(const char* name, UnitKeypad::Mode mode) {
    auto* e = new QLineEdit(this);
    e->setObjectName(name);
    e->setProperty("keypad", int(mode));
    e->installEventFilter(this);
    return e;
}

QLineEdit* SettingsTab::KeypadTarget() const {
    return pad_ && pad_->isVisible() ? target_.data() : nullptr;
}

bool SettingsTab::eventFilter(QObject* watched, QEvent* event) {
    // A tap shows the keypad even where the window has no focus to give (no window
    // manager on the board's framebuffer).
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::MouseButtonPress)
        if (auto* e = qobject_cast<QLineEdit*>(watched)) showKeypad(e);
    return Page::eventFilter(watched, event);
}

void SettingsTab::showKeypad(QLineEdit* target) {
    if (!pad_) {
        pad_ = new QFrame(this);
        pad_->setObjectName("settingsKeypad");
        pad_->setProperty("role", "dialog");
        auto* v = new QVBoxLayout(pad_);
        v->setContentsMargins(16, 12, 16, 12);
        for (int m = 0; m < 2; ++m) {
            keys_[m] = new UnitKeypad(UnitKeypad::Mode(m), pad_);
            v->addWidget(keys_[m]);
        }
        auto* done = new QPushButton("Done", pad_);
        done->setObjectName("keypadDone");
        done->setProperty("role", "ok");
        done->setFocusPolicy(Qt::NoFocus);
        connect(done, &QPushButton::clicked, this, [this] {
            UiSound_Tap();
            pad_->hide();
            if (target_) target_->clearFocus();
        });
        v->addWidget(done, 0, Qt::AlignRight);
    }
    target_ = target;
    int mode = target->property("keypad").toInt();
    for (int m = 0; m < 2; ++m) {
        keys_[m]->SetTarget(target);
        keys_[m]->setVisible(m == mode);
    }
    int w = mode == UnitKeypad::Numeric ? 420 : 1000;
    pad_->adjustSize();
    int h = pad_->sizeHint().height();
    // Over the half of the tab the field is not in, so the field stays in sight.
    int fieldY = target->mapTo(this, QPoint(0, target->height() / 2)).y();
    int y = fieldY > height() / 2 ? 8 : height() - h - 8;
    pad_->setGeometry((width() - w) / 2, y, w, h);
    pad_->raise();
    pad_->show();
}
