#include "SettingsTab.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
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
    int row = grid_->rowCount();
    auto* l = new QLabel(label, this);
    grid_->addWidget(l, row, 0);
    grid_->addWidget(control, row, 1);
    // The label is hidden with its row.
    control->setProperty("rowLabel", QVariant::fromValue<QObject*>(l));
    return control;
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
