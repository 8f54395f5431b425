// The root object: the one top-level window of 1280 x 800 that holds the home screen,
// the status bar, the top-strip swipe handler (pull-down tool panel) and the two root
// timers (drive refresh after storage changes, periodic discovery scan).
#pragma once

#include <QPoint>
#include <QWidget>

class Page;
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

    // The pull-down tool panel (screen registry row TopDownBox); a downward swipe from the
    // top strip opens it, its close slot slides it back up.
    Page* TopDownBox() const;
    void OpenTopDownBox();
    void CloseTopDownBox();

    // The network configuration dialog (row Network), open while a service cable is
    // plugged in. Its confirming button copies its values to the tool before it leaves.
    Page* NetworkDialog() const;
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
    bool swipeArmed_ = false;
    QPoint swipeStart_;
};
