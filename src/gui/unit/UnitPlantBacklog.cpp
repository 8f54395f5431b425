#include "UnitPlantBacklog.h"

#include "ApplicationDeviceClass.h"
#include "Timer.h"

#include <QStringList>

UnitPlantBacklog::UnitPlantBacklog(QWidget* parent) : QLabel(parent) {
    setObjectName("plantBacklog");
    setProperty("role", "subtitle");
    // The peers acknowledge on their own threads: looked at once a second while shown.
    timer_ = new Timer(this);
    timer_->SetBegin(1000);
    timer_->SetPeriod(1000);
    connect(timer_, &Timer::trigger, this, &UnitPlantBacklog::Refresh);
    ApplicationDeviceClass* dev = ApplicationDevice();
    connect(&dev->PlantStateEvent, &SystemEvent::triggered, this, &UnitPlantBacklog::Refresh);
    Refresh();
}

QString UnitPlantBacklog::Text(const QList<QPair<QString, int>>& peers) {
    if (peers.isEmpty()) return QString();
    QStringList parts;
    for (const auto& [name, count] : peers)
        parts << QString("%1 %2").arg(name).arg(count);
    return "Plant: " + parts.join("  ");
}

void UnitPlantBacklog::Refresh() {
    QList<QPair<QString, int>> peers;
    for (const auto& [name, count] : ApplicationDevice()->PlantBacklog())
        peers << qMakePair(name, int(count));
    setText(Text(peers));
}

void UnitPlantBacklog::showEvent(QShowEvent* e) {
    QLabel::showEvent(e);
    Refresh();
    timer_->SetEnabled(true);
}

void UnitPlantBacklog::hideEvent(QHideEvent* e) {
    timer_->SetEnabled(false);
    QLabel::hideEvent(e);
}
