// The root object: the one top-level window of 1280 x 800 that holds the home screen,
// the status bar, the top-strip swipe handler (pull-down tool panel) and the two root
// timers (drive refresh after storage changes, periodic discovery scan).
#pragma once

#include "Navigator.h"

#include <QPointer>
#include <QWidget>
#include <functional>

#include "Page.h"
class PageHome;
class PageStatusBar;
class Timer;

class ApplicationApplication : public QWidget {
    Q_OBJECT
  public:
    explicit ApplicationApplication(QWidget* parent = nullptr);
    // Initialises the root with the screen size.
    void Init(int width, int height);

    PageHome* Home() const { return home_; }
    PageStatusBar* StatusBar() const { return statusBar_; }
    Timer* DrvRefreshTimer() const { return drvTimer_; }
    Timer* ScanTimer() const { return scanTimer_; }

    // The pull-down tool panel, created by this factory when it exists; a downward
    // swipe from the top strip opens it.
    static void SetTopDownBoxFactory(std::function<Page*()> factory);
    Page* TopDownBox() const { return topDown_; }
    void OpenTopDownBox();
    void CloseTopDownBox();

    // The network configuration dialog opened while a service cable is plugged in. The
    // page signals `completed` for both of its buttons; when its "confirmed" property is
    // true, `copyToNative` copies its values to the system first.
    static void SetNetworkDialogFactory(std::function<Page*()> factory,
                                        std::function<void(Page*)> copyToNative);
    Page* NetworkDialog() const { return network_; }
    void OpenNetworkDialog();
    void CloseNetworkDialog();

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void refreshDrives();
    PageHome* home_;
    PageStatusBar* statusBar_;
    Timer* drvTimer_;
    Timer* scanTimer_;
    void networkDone();
    QPointer<Page> topDown_;
    QPointer<Page> network_;
    ModalHandle networkModal_;
    ModalHandle topDownModal_;
    bool swipeArmed_ = false;
    QPoint swipeStart_;
};
