#include "PageRemoteOutput.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"

#include <QGridLayout>
#include <QPushButton>
#include <QStyle>

namespace {
// Left column: name first; right column: number first. An output without a function
// shows its number alone.
QString label(int i, const QString& name) {
    const QString n = QString::number(i + 1);
    if (name.isEmpty()) return n;
    return i < 8 ? name + " - " + n : n + " - " + name;
}
} // namespace

PageRemoteOutput::PageRemoteOutput(QWidget* parent) : TabPage(parent) {
    setObjectName("PageRemoteOutput");
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(40, 12, 40, 12);
    grid->setHorizontalSpacing(40);
    grid->setVerticalSpacing(10);
    for (int i = 0; i < kOutputs; ++i) {
        auto* b = new QPushButton(this);
        b->setObjectName(QString("outButton%1").arg(i + 1));
        b->setMinimumHeight(60);
        b->setStyleSheet("QPushButton { text-align: left; padding-left: 24px; }"
                         "QPushButton[lit=\"true\"] { background: #1f7a3e;"
                         " border-color: #2eb85c; }");
        // The highlight of the press shows until the release, which toggles.
        connect(b, &QPushButton::released, this, [this, i] {
            UiSound_Tap();
            toggle(i);
        });
        grid->addWidget(b, i % 8, i / 8);
        buttons_[i] = b;
    }
    grid->setRowStretch(8, 1);
}

void PageRemoteOutput::Shown() {
    for (int i = 0; i < kOutputs; ++i) {
        buttons_[i]->setText(label(i, ApplicationDevice()->GetSysOutName(i)));
        showLevel(i, ApplicationDevice()->GetOutputStatus(i));
    }
}

void PageRemoteOutput::toggle(int i) {
    const int level = ApplicationDevice()->GetOutputStatus(i) ? 0 : 1;
    ApplicationDevice()->SetGpioOutVal(i, level);
    showLevel(i, ApplicationDevice()->GetOutputStatus(i));
}

void PageRemoteOutput::showLevel(int i, int level) {
    buttons_[i]->setProperty("lit", level != 0);
    buttons_[i]->style()->unpolish(buttons_[i]);
    buttons_[i]->style()->polish(buttons_[i]);
}
