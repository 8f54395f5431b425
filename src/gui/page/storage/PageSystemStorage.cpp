#include "PageSystemStorage.h"

#include "ApplicationDeviceClass.h"
#include "UnitBrowser.h"

#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

PageSystemStorage::PageSystemStorage(QWidget* parent) : Page(parent) {
    setObjectName("PageSystemStorage");
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(32, 16, 32, 16);
    v->setSpacing(24);
    internal_ = makeBlock("Internal storage", "storageInternal");
    sd_ = makeBlock("Micro SD", "storageSd");
    v->addWidget(internal_.Frame);
    v->addWidget(sd_.Frame);
    // The card's percentage stays on screen (as "0 %") while its block is hidden.
    sd_.Percent->setParent(this);
    v->addWidget(sd_.Percent);
    v->addStretch(1);
    connect(&ApplicationDevice()->DrvUpdateNotifierEvent, &SystemEvent::triggered, this,
            [this] { Refresh(); });
}

PageSystemStorage::Block PageSystemStorage::makeBlock(const QString& title, const QString& prefix) {
    Block b{};
    b.Frame = new QWidget(this);
    b.Frame->setObjectName(prefix + "Block");
    auto* grid = new QGridLayout(b.Frame);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setColumnStretch(1, 1);
    auto* t = new QLabel(title, b.Frame);
    t->setProperty("role", "subtitle");
    grid->addWidget(t, 0, 0, 1, 2);
    auto value = [&](const char* label, const char* name, int row) {
        grid->addWidget(new QLabel(label, b.Frame), row, 0);
        auto* l = new QLabel(b.Frame);
        l->setObjectName(prefix + name);
        l->setStyleSheet("font-family: \"DejaVu Sans Mono\"; font-size: 22px;");
        grid->addWidget(l, row, 1);
        return l;
    };
    b.Total = value("Total", "Total", 1);
    b.Free = value("Free", "Free", 2);
    b.Used = value("Used", "Used", 3);
    b.Gauge = new QProgressBar(b.Frame);
    b.Gauge->setObjectName(prefix + "Gauge");
    b.Gauge->setTextVisible(false);
    b.Gauge->setStyleSheet(UnitBrowser::GaugeStyle);
    b.Gauge->setMinimumHeight(32);
    grid->addWidget(b.Gauge, 4, 0, 1, 2);
    b.Percent = new QLabel(b.Frame);
    b.Percent->setObjectName(prefix + "Percent");
    grid->addWidget(b.Percent, 5, 0, 1, 2);
    return b;
}

void PageSystemStorage::showEvent(QShowEvent* event) {
    Refresh();
    Page::showEvent(event);
}

void PageSystemStorage::fill(const Block& b, const QString& path) {
    const UnitStorageUsageData d = ApplicationDevice()->GetStorageUsage(path);
    auto line = [](const QString& gb, const QString& mb) { return gb + " GB ( " + mb + " MB )"; };
    b.Total->setText(line(d.TotalGB, d.TotalMB));
    b.Free->setText(line(d.FreeGB, d.FreeMB));
    b.Used->setText(line(d.UsedGB, d.UsedMB));
    b.Percent->setText(d.UsedPercent + " %");
    b.Gauge->setRange(0, qMax(1, d.TotalMB.toInt()));
    b.Gauge->setValue(d.UsedMB.toInt());
}

void PageSystemStorage::Refresh() {
    fill(internal_, "/media/mmcblk3p2");
    const bool card = ApplicationDevice()->CheckFileDirExist("/dev/mmcblk1p1") == 0;
    sd_.Frame->setVisible(card);
    if (card)
        fill(sd_, "/media/mmcblk1p1");
    else
        sd_.Percent->setText("0 %");
}
