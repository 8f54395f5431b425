#include "ApplicationApplication.h"

#include "ApplicationDeviceClass.h"
#include "Theme.h"
#include "Timer.h"
#include "UiSound.h"
#include "UnitTtyEventData.h"
#include "page/Screens.h"
#include "page/shell/PageHome.h"
#include "page/shell/PageStatusBar.h"

#include <QApplication>
#include <QMouseEvent>

namespace {
constexpr int kSwipeMin = 60; // downward travel that makes a swipe

// Framework dialogs play their sounds through UiSound; on the panel they are the sound
// module's requests.
void playThroughDevice(UiSoundKind kind) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    switch (kind) {
    case UiSoundKind::Tap:
        dev->SoundTap();
        break;
    case UiSoundKind::Ok:
        dev->SoundOk();
        break;
    case UiSoundKind::Ng:
        dev->SoundNg();
        break;
    }
}
} // namespace

ApplicationApplication::ApplicationApplication(QWidget* parent) : QWidget(parent) {
    setObjectName("RootObject");
    setWindowTitle("zqcapp");
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(Theme::StyleSheet());
    ApplicationDeviceClass* dev = ApplicationDevice(); // exists from the root's creation on
    UiSound_SetSink(playThroughDevice);
    home_ = new PageHome(this);
    statusBar_ = new PageStatusBar(this);

    drvTimer_ = new Timer(this);
    drvTimer_->SetPeriod(3000);
    connect(drvTimer_, &Timer::trigger, this, &ApplicationApplication::refreshDrives);
    connect(&dev->DrvsUpdateEvent, &SystemEvent::triggered, this, [this] {
        // Already running: later storage events ride on the first one's refresh.
        drvTimer_->SetEnabled(true);
    });

    connect(&dev->TtyEvent, &SystemEvent::triggered, this, [this](QObject* ctx) {
        auto* p = qobject_cast<UnitTtyEventData*>(ctx);
        if (p && p->Connected)
            OpenNetworkDialog();
        else
            CloseNetworkDialog();
    });

    scanTimer_ = new Timer(this);
    scanTimer_->SetBegin(100);
    scanTimer_->SetPeriod(3000);
    connect(scanTimer_, &Timer::trigger, this, [] { ApplicationDevice()->DiscoScan(); });
    scanTimer_->SetEnabled(true);

    qApp->installEventFilter(this);
    Init(Theme::ScreenWidth, Theme::ScreenHeight);
}

void ApplicationApplication::Init(int width, int height) {
    setFixedSize(width, height);
}

void ApplicationApplication::resizeEvent(QResizeEvent*) {
    statusBar_->setGeometry(0, 0, width(), Theme::StatusBarHeight);
    home_->setGeometry(0, Theme::StatusBarHeight, width(), height() - Theme::StatusBarHeight);
    statusBar_->raise();
}

void ApplicationApplication::refreshDrives() {
    drvTimer_->SetEnabled(false);
    ApplicationDeviceClass* dev = ApplicationDevice();
    dev->RefreshDrvs();
    dev->TriggerDrvUpdateNotifier();
    dev->BarcodeRefreshDev();
    dev->TriggerUpdateDevs();
}

bool ApplicationApplication::eventFilter(QObject* o, QEvent* e) {
    auto type = e->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseMove)
        return false;
    auto* w = qobject_cast<QWidget*>(o);
    if (!w || w->window() != this || !w->isWidgetType()) return false;
    auto* me = static_cast<QMouseEvent*>(e);
    QPoint p = mapFromGlobal(me->globalPosition().toPoint());
    if (type == QEvent::MouseButtonPress) {
        swipeArmed_ = p.y() >= 0 && p.y() < Theme::SwipeStripHeight;
        swipeStart_ = p;
        return false;
    }
    if (!swipeArmed_) return false;
    QPoint d = p - swipeStart_;
    // Straight down or diagonally down: more downward travel than sideways.
    if (d.y() >= kSwipeMin && qAbs(d.x()) <= d.y()) {
        swipeArmed_ = false;
        OpenTopDownBox();
    } else if (type == QEvent::MouseButtonRelease) {
        swipeArmed_ = false;
    }
    return false;
}

Page* ApplicationApplication::TopDownBox() const {
    return Screens::Find(ScreenId::TopDownBox);
}

void ApplicationApplication::OpenTopDownBox() {
    Screens::Open(ScreenId::TopDownBox, this);
}

void ApplicationApplication::CloseTopDownBox() {
    Screens::Close(ScreenId::TopDownBox);
}

Page* ApplicationApplication::NetworkDialog() const {
    return Screens::Find(ScreenId::Network);
}

void ApplicationApplication::OpenNetworkDialog() {
    Screens::Open(ScreenId::Network, this);
}

void ApplicationApplication::CloseNetworkDialog() {
    Screens::Close(ScreenId::Network);
}
