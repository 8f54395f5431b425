#include "PageMonitorIo.h"

#include "ApplicationDeviceClass.h"
#include "Theme.h"
#include "UnitIoEventData.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {
constexpr int kLamp = 26;
} // namespace

PageMonitorIo::PageMonitorIo(QWidget* parent) : TabPage(parent) {
    setObjectName("PageMonitorIo");
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(12, 4, 12, 4);
    h->setSpacing(40);
    h->addWidget(column("Input", true), 1);
    h->addWidget(column("Output", false), 1);
}

QWidget* PageMonitorIo::column(const QString& title, bool inputs) {
    auto* box = new QWidget(this);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    auto* t = new QLabel(title, box);
    t->setStyleSheet("font-size: 20px; font-weight: bold;");
    grid->addWidget(t, 0, 0, 1, 3);
    const QString prefix = inputs ? "ioIn" : "ioOut";
    for (int i = 0; i < kPorts; ++i) {
        auto* n = new QLabel(QString::number(i + 1), box);
        n->setFixedWidth(40);
        auto* name = new QLabel(box);
        name->setObjectName(QString("%1%2Name").arg(prefix).arg(i + 1));
        auto* lamp = new QLabel(box);
        lamp->setObjectName(QString("%1%2Lamp").arg(prefix).arg(i + 1));
        lamp->setFixedSize(kLamp, kLamp);
        grid->addWidget(n, i + 1, 0);
        grid->addWidget(name, i + 1, 1);
        grid->addWidget(lamp, i + 1, 2);
        (inputs ? inLamps_ : outLamps_)[i] = lamp;
        (inputs ? inNames_ : outNames_)[i] = name;
        light(lamp, false);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(kPorts + 1, 1);
    return box;
}

void PageMonitorIo::light(QLabel* lamp, bool on) {
    lamp->setProperty("lit", on);
    lamp->setStyleSheet(QString("background: %1; border-radius: %2px; border: 2px solid #55636f;")
                            .arg(on ? Theme::Ok.name() : "#1d242b")
                            .arg(kLamp / 2));
}

void PageMonitorIo::Shown() {
    ApplicationDeviceClass* d = ApplicationDevice();
    for (int i = 0; i < kPorts; ++i) {
        // A dividing line only under a named row.
        for (auto [label, text] : {std::pair{inNames_[i], d->GetSysInputName(i)},
                                   std::pair{outNames_[i], d->GetSysOutName(i)}}) {
            label->setText(text);
            label->setStyleSheet(text.isEmpty() ? "" : "border-bottom: 1px solid #3a4754;");
        }
        light(inLamps_[i], d->GetInputStatus(i) == 1);
        light(outLamps_[i], d->GetOutputStatus(i) == 1);
    }
    Hidden();
    for (int i = 0; i < kPorts; ++i)
        inputEvents_.append(
            connect(&d->InputEvents[i], &SystemEvent::triggered, this, [this, i](QObject* ctx) {
                if (auto* p = qobject_cast<UnitIoEventData*>(ctx))
                    light(inLamps_[i], p->Value != 0);
            }));
}

void PageMonitorIo::Hidden() {
    for (const auto& c : inputEvents_)
        disconnect(c);
    inputEvents_.clear();
}
