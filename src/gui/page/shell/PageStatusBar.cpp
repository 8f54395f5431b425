#include "PageStatusBar.h"

#include "ApplicationDeviceClass.h"
#include "Icons.h"
#include "Theme.h"
#include "Timer.h"
#include "UnitBstHotplug.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {
constexpr int kIcon = 28;

QColor colorOfClass(PageStatusBar::StateClass c) {
    switch (c) {
    case PageStatusBar::Connected:
        return Theme::Ok;
    case PageStatusBar::Failed:
        return Theme::Ng;
    case PageStatusBar::Busy:
        return Theme::Warn;
    default:
        return Theme::Idle;
    }
}

const char* nameOfClass(PageStatusBar::StateClass c) {
    switch (c) {
    case PageStatusBar::Connected:
        return "connected";
    case PageStatusBar::Failed:
        return "failed";
    case PageStatusBar::Busy:
        return "busy";
    default:
        return "connecting";
    }
}

QLabel* iconSlot(QWidget* parent, const QString& name) {
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setFixedSize(kIcon + 6, kIcon + 6);
    l->setAlignment(Qt::AlignCenter);
    return l;
}

void setIcon(QLabel* l, const QString& picture, const QColor& color) {
    l->setProperty("picture", picture);
    l->setPixmap(picture.isEmpty() ? QPixmap() : Icons::Pixmap(picture, color, kIcon));
}
} // namespace

PageStatusBar::StateClass PageStatusBar::ClassOfState(int state) {
    switch (state) {
    case 3:
        return Connected;
    case 4:
    case 5:
        return Failed;
    case 1:
        return Busy;
    default:
        return Connecting;
    }
}

QString PageStatusBar::PictureOfType(int type) {
    if (type == 1 || type == 4) return "tool_controller";
    if (type == 2 || type == 3) return "tool_driver";
    return QString();
}

PageStatusBar::PageStatusBar(QWidget* parent) : QFrame(parent) {
    setObjectName("PageStatusBar");
    setProperty("role", "statusbar");
    setAttribute(Qt::WA_StyledBackground, true);
    setFixedHeight(Theme::StatusBarHeight);
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(14, 0, 14, 0);
    h->setSpacing(4);
    clock_ = new QLabel(this);
    clock_->setObjectName("statusClock");
    clock_->setStyleSheet("font-family: 'DejaVu Sans Mono'; font-size: 18px;");
    clock_->setMinimumWidth(220);
    tool_ = new QLabel(this);
    tool_->setObjectName("statusToolName");
    tool_->setStyleSheet("font-size: 18px; font-weight: bold; color: #5fb0ff;");
    tool_->setMinimumWidth(220);
    h->addWidget(clock_);
    h->addSpacing(16);
    h->addWidget(tool_);
    h->addStretch(1);
    for (int i = 0; i < MaxIcons; ++i) {
        toolIcons_[i] = iconSlot(this, QString("toolIcon%1").arg(i));
        h->addWidget(toolIcons_[i]);
    }
    count_ = new QLabel(this);
    count_->setObjectName("statusToolCount");
    count_->setStyleSheet("font-size: 18px; color: #9aa8b4;");
    h->addWidget(count_);
    h->addSpacing(24);
    for (int i = 0; i < MaxIcons; ++i) {
        devIcons_[i] = iconSlot(this, QString("devIcon%1").arg(i));
        h->addWidget(devIcons_[i]);
    }

    clockTimer_ = new Timer(this);
    clockTimer_->SetBegin(10);
    clockTimer_->SetPeriod(1000);
    connect(clockTimer_, &Timer::trigger, this, &PageStatusBar::RefreshClock);
    clockTimer_->SetEnabled(true);
    blinkTimer_ = new Timer(this);
    blinkTimer_->SetPeriod(500);
    connect(blinkTimer_, &Timer::trigger, this, &PageStatusBar::blinkTray);

    ApplicationDeviceClass* dev = ApplicationDevice();
    connect(&dev->UpdateRegtoolsEvent, &SystemEvent::triggered, this, &PageStatusBar::RefreshTools);
    connect(dev, &ApplicationDeviceClass::CurrTdxChanged, this, &PageStatusBar::RefreshTools);
    connect(dev, &ApplicationDeviceClass::CurrentJobChanged, this, &PageStatusBar::RefreshTools);
    for (SystemEvent* e : {&dev->UpdateDevsEvent, &dev->DrvUpdateNotifierEvent,
                           &dev->BstHotplugEvent, &dev->PlantStateEvent})
        connect(e, &SystemEvent::triggered, this, &PageStatusBar::RefreshDevices);
    // The bar is built before the registry is loaded; loading it posts no tool event.
    connect(&dev->EwInitDoneEvent, &SystemEvent::triggered, this, [this] {
        RefreshTools();
        RefreshDevices();
    });
    connect(&dev->BstCommFailEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        auto* p = qobject_cast<UnitBstHotplug*>(ctx);
        SetTrayCommFail(p && p->Value != 0);
    });
    RefreshClock();
    RefreshTools();
    RefreshDevices();
}

void PageStatusBar::RefreshClock() {
    UnitTime t = ApplicationDevice()->GetTime();
    clock_->setText(QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day,
                                      t.Hour, t.Minute, t.Second));
}

void PageStatusBar::RefreshTools() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    // While a job runs its name takes the place of the current tool, which the job
    // screen does not use.
    int jdx = dev->OnGetCurrentJob();
    int tdx = dev->OnGetCurrTdx();
    QString name =
        jdx >= 0 ? dev->GetJobNameJdx(jdx) : (tdx >= 0 ? dev->GetTdxToolName(tdx) : QString());
    tool_->setText(name.isEmpty() ? "unselected" : name);
    int n = qBound(0, dev->GetRegtoolsLen(), MaxIcons);
    int connected = 0;
    for (int i = 0; i < MaxIcons; ++i) {
        QLabel* l = toolIcons_[i];
        if (i >= n) {
            setIcon(l, QString(), QColor());
            l->setProperty("stateClass", QVariant());
            continue;
        }
        int state = dev->GetTdxToolState(i);
        if (state == 3) ++connected;
        StateClass c = ClassOfState(state);
        l->setProperty("stateClass", nameOfClass(c));
        setIcon(l, PictureOfType(dev->GetToolType_ByTdx(i)), colorOfClass(c));
    }
    count_->setText(QString("(%1/%2)").arg(connected).arg(n));
}

void PageStatusBar::RefreshDevices() {
    ApplicationDeviceClass* dev = ApplicationDevice();
    QStringList pictures;
    for (int i = 0; i < dev->GetDrvsLen(); ++i)
        pictures << (dev->GetDrvDev(i) == "mmcblk1p1" ? "dev_sd" : "dev_usb");
    trayIndex_ = -1;
    if (dev->IsBstConnect()) {
        trayIndex_ = int(pictures.size());
        pictures << "dev_tray";
    }
    if (dev->IsBarcodeScannerPresent()) pictures << "dev_barcode";
    if (dev->IsWifiConnected()) pictures << "dev_wifi";
    if (dev->PlantConnected()) pictures << "dev_plant";
    for (int i = 0; i < MaxIcons; ++i) {
        QString pic = i < pictures.size() ? pictures[i] : QString();
        setIcon(devIcons_[i], pic, Theme::Text);
    }
    if (trayIndex_ >= MaxIcons) trayIndex_ = -1;
    if (trayFail_ && trayIndex_ >= 0) blinkTray();
}

void PageStatusBar::SetTrayCommFail(bool failed) {
    trayFail_ = failed;
    blinkOn_ = false;
    blinkTimer_->SetEnabled(failed);
    if (failed)
        blinkTray();
    else
        RefreshDevices();
}

void PageStatusBar::blinkTray() {
    if (trayIndex_ < 0) return;
    blinkOn_ = !blinkOn_;
    QLabel* l = devIcons_[trayIndex_];
    if (blinkOn_)
        setIcon(l, "dev_tray_alarm", Theme::Ng);
    else
        setIcon(l, QString(), QColor());
    l->setProperty("picture", "dev_tray_alarm");
}
