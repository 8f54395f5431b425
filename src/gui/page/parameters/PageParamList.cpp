#include "PageParamList.h"

#include "UiSound.h"
#include "UnitParamWrapper.h"

#include <QBoxLayout>
#include <QLabel>
#include <QPushButton>

PageParamList::PageParamList(QWidget* parent) : TabPage(parent) {}

void PageParamList::Reload() {
    if (!block_.Refresh(port_, block())) block_.Clear();
    for (int i = 0; i < presets_.size(); ++i)
        presets_[i]->setChecked(i + 1 == preset_);
    configure();
}

void PageParamList::SetPreset(int preset) {
    if (preset < 1 || preset > ParameterMap::kPresets) return;
    preset_ = preset;
    Reload();
}

QWidget* PageParamList::presetRow(const QString& prefix) {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    auto* label = new QLabel("Preset", row);
    label->setStyleSheet("font-size: 18px; font-weight: bold;");
    h->addWidget(label);
    for (int p = 1; p <= ParameterMap::kPresets; ++p) {
        auto* b = new QPushButton(QString::number(p), row);
        b->setObjectName(QString("%1Preset%2").arg(prefix).arg(p));
        b->setCheckable(true);
        b->setProperty("role", "param");
        b->setFixedSize(50, 44);
        b->setStyleSheet("QPushButton:checked { background: #1f5f9e; border-color: #2f8fe8; }");
        h->addWidget(b);
        presets_.append(b);
        connect(b, &QPushButton::clicked, this, [this, p] {
            UiSound_Tap();
            SetPreset(p);
        });
    }
    h->addStretch(1);
    return row;
}

UnitParamWrapper* PageParamList::line(QBoxLayout* into) {
    auto* w = new UnitParamWrapper(
        port_, [this] { Reload(); }, this);
    into->addWidget(w);
    return w;
}
