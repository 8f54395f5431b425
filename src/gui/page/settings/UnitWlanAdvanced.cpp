#include "UnitWlanAdvanced.h"

#include "UiSound.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QButtonGroup* choices(QWidget* parent, QHBoxLayout* row, const char* name,
                      const QStringList& labels, int checked) {
    auto* g = new QButtonGroup(parent);
    for (int i = 0; i < labels.size(); ++i) {
        auto* b = new QPushButton(labels[i], parent);
        b->setObjectName(QString("%1_%2").arg(name).arg(i));
        b->setCheckable(true);
        b->setChecked(i == checked);
        g->addButton(b, i);
        row->addWidget(b);
    }
    row->addStretch(1);
    return g;
}
} // namespace

UnitWlanAdvanced::UnitWlanAdvanced(int band, const WifiSettings& current, QWidget* parent)
    : QFrame(parent), band_(band), channel_(current.Channel) {
    setObjectName("UnitWlanAdvanced");
    setProperty("role", "dialog");
    setFixedSize(760, 600);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 24, 32, 24);
    v->setSpacing(14);
    auto* title = new QLabel("Wi-fi Advanced setting", this);
    title->setProperty("role", "title");
    v->addWidget(title);

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(24);
    auto* countryRow = new QHBoxLayout;
    country_ = choices(this, countryRow, "advCountry", {"US (Default)", "Europe", "Japan"},
                       current.Country >= 0 && current.Country <= 2 ? current.Country : 0);
    auto* modeRow = new QHBoxLayout;
    mode_ = choices(this, modeRow, "advMode", {"Auto (Default)", "Manual"},
                    current.ChannelMode == 1 ? 1 : 0);
    grid->addWidget(new QLabel("Country", this), 0, 0);
    grid->addLayout(countryRow, 0, 1);
    grid->addWidget(new QLabel("Channel", this), 1, 0);
    grid->addLayout(modeRow, 1, 1);
    v->addLayout(grid);
    list_ = new QListWidget(this);
    list_->setObjectName("advChannels");
    list_->setStyleSheet("font-size: 22px;");
    v->addWidget(list_, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("advCancel");
    cancel->setProperty("role", "cancel");
    auto* ok = new QPushButton("OK", this);
    ok->setObjectName("advOk");
    ok->setProperty("role", "ok");
    for (auto* b : {cancel, ok}) {
        b->setMinimumWidth(180);
        buttons->addWidget(b);
    }
    v->addLayout(buttons);

    auto refill = [this](int) {
        UiSound_Tap();
        fill();
    };
    connect(country_, &QButtonGroup::idClicked, this, refill);
    connect(mode_, &QButtonGroup::idClicked, this, refill);
    connect(list_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        UiSound_Tap();
        channel_ = WifiForm::ParseChannel(item->text());
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        emit rejected();
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        QListWidgetItem* item = list_->currentItem();
        int channel = item && item->isSelected() ? WifiForm::ParseChannel(item->text()) : -1;
        emit accepted(country_->checkedId(), mode_->checkedId(), channel);
    });
    fill();
}

void UnitWlanAdvanced::fill() {
    const QList<int> channels = WifiForm::Channels(band_, country_->checkedId());
    list_->clear();
    for (int ch : channels) {
        auto* item = new QListWidgetItem(QString::number(ch), list_);
        if (ch == channel_) {
            list_->setCurrentItem(item);
            item->setSelected(true);
        }
    }
    list_->setEnabled(mode_->checkedId() == 1);
}
