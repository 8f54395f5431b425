#include "ApplicationApplication.h"

#include "ApplicationDeviceClass.h"
#include "Page.h"
#include "ShellServices.h"
#include "Theme.h"
#include "Timer.h"
#include "UiSound.h"
#include "UnitScrim.h"
#include "UnitTtyEventData.h"
#include "page/shell/PageHome.h"
#include "page/shell/PageStatusBar.h"

#include <QApplication>
#include <QMouseEvent>

namespace {
std::function<Page*()>& topDownFactory() {
    static std::function<Page*()> f;
    return f;
}
std::function<Page*()>& networkFactory() {
    static std::function<Page*()> f;
    return f;
}
std::function<void(Page*)>& networkCopy() {
    static std::function<void(Page*)> f;
    return f;
}
constexpr int kSwipeMin = 60; // downward travel that makes a swipe
} // namespace

void ApplicationApplication::SetTopDownBoxFactory(std::function<Page*()> factory) {
    topDownFactory() = std::move(factory);
}

void ApplicationApplication::SetNetworkDialogFactory(std::function<Page*()> factory,
                                                     std::function<void(Page*)> copyToNative) {
    networkFactory() = std::move(factory);
    networkCopy() = std::move(copyToNative);
}

ApplicationApplication::ApplicationApplication(QWidget* parent) : QWidget(parent) {
    setObjectName("RootObject");
    setWindowTitle("zqcapp");
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(Theme::StyleSheet());
    ApplicationDeviceClass* dev = ApplicationDevice(); // exists from the root's creation on
    ShellServices::Get();
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
    connect(scanTimer_, &Timer::trigger, this, [] { ShellServices::Get()->DiscoScan(); });
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
    ShellServices* s = ShellServices::Get();
    ApplicationDeviceClass* dev = ApplicationDevice();
    s->RefreshDrvs();
    dev->TriggerDrvUpdateNotifier();
    s->BarcodeRefreshDev();
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

void ApplicationApplication::OpenTopDownBox() {
    if (topDown_ || !topDownFactory()) return;
    Page* p = topDownFactory()();
    if (!p) return;
    topDown_ = p;
    connect(p, &Page::completed, this, &ApplicationApplication::CloseTopDownBox);
    topDownModal_.scrim = new UnitScrim(this);
    topDownModal_.scrim->show();
    topDownModal_.dialog = p;
    QRect area(0, 0, width(), p->sizeHint().height() > 0 ? p->sizeHint().height() : height() / 2);
    Navigator::Present(this, p, Transition::SlideDown, area);
}

void ApplicationApplication::CloseTopDownBox() {
    if (!topDown_) return;
    if (topDownModal_.scrim) topDownModal_.scrim->deleteLater();
    Navigator::Dismiss(topDown_, Transition::SlideUp);
    topDownModal_ = ModalHandle();
    topDown_ = nullptr;
}

void ApplicationApplication::OpenNetworkDialog() {
    if (network_ || !networkFactory()) return;
    Page* p = networkFactory()();
    if (!p) return;
    UiSound_Ok();
    network_ = p;
    connect(p, &Page::completed, this, &ApplicationApplication::networkDone);
    networkModal_ = Navigator::PresentModal(this, p, Transition::Scale);
}

void ApplicationApplication::networkDone() {
    UiSound_Tap();
    if (network_ && network_->property("confirmed").toBool() && networkCopy())
        networkCopy()(network_);
    CloseNetworkDialog();
}

void ApplicationApplication::CloseNetworkDialog() {
    if (!network_) return;
    Navigator::DismissModal(networkModal_);
    network_ = nullptr;
}
