// The home screen: the guest or administrator menu, the working screens opened over it
// (at most one of each kind), the login prompt, the message box and the start-up checks.
#pragma once

#include "Navigator.h"
#include "Page.h"

#include <QPointer>
#include <functional>

class QLabel;
class QPushButton;
class ShellStartup;
#include "UnitMenu.h"
class UnitPassword;
class UnitErrorPopup;

class PageHome : public Page {
    Q_OBJECT
  public:
    enum Screen {
        OperationWithJob,
        OperationWithoutJob,
        JobManager,
        Parameters,
        Monitor,
        Remote,
        Setting,
        System,
        Browser,
        ScreenCount
    };
    using Factory = std::function<Page*()>;
    // Screens register how they are created; a tile without a factory is disabled.
    static void SetFactory(Screen s, Factory f);
    static bool HasFactory(Screen s);

    static constexpr const char* ServicePassword = "vorkel5293";

    explicit PageHome(QWidget* parent = nullptr);
    ~PageHome() override;

    void PresentOperation();
    void PresentJobManager() { Present(JobManager); }
    void PresentParameter() { Present(Parameters); }
    void PresentMonitor() { Present(Monitor); }
    void PresentRemote() { Present(Remote); }
    void PresentSetting() { Present(Setting); }
    void PresentSystem() { Present(System); }
    void PresentBrowser() { Present(Browser); }
    void PresentPassword();
    void LogoutAsGuest();
    // The debug page over the current screen (service level).
    void PresentDebug();
    void DismissOperationWithJob() { Dismiss(OperationWithJob); }
    void DismissOperationWithoutJob() { Dismiss(OperationWithoutJob); }
    void DismissJobManager() { Dismiss(JobManager); }
    void DismissParameters() { Dismiss(Parameters); }
    void DismissMonitor() { Dismiss(Monitor); }
    void DismissRemote() { Dismiss(Remote); }
    void DismissSetting() { Dismiss(Setting); }
    void DismissSystem() { Dismiss(System); }
    void DismissBrowser() { Dismiss(Browser); }

    void Present(Screen s);
    void Dismiss(Screen s);
    Page* OpenScreen(Screen s) const { return open_[s]; }

    // Message box: plays NG, dims and shows the box; false (dropped) if one is open.
    bool ShowMessage(const QString& title, const QString& text);
    UnitErrorPopup* MessageBox() const;
    UnitPassword* Password() const;
    UnitMenu* Menu() const { return menu_; }
    bool AdminMenuShown() const { return admin_; }
    ShellStartup* Startup() const { return startup_; }

  protected:
    bool eventFilter(QObject* o, QEvent* e) override;

  private:
    void showMenu(bool admin);
    void refreshTiles();
    void refreshLevel();
    void tilePressed(const QString& title);
    void passwordOk();
    void closePassword();
    QWidget* menuArea_;
    QLabel* level_;
    QPushButton* debugButton_;
    QPointer<UnitMenu> menu_;
    bool admin_ = false;
    QPointer<Page> open_[ScreenCount];
    ModalHandle browserModal_;
    ModalHandle password_;
    ModalHandle message_;
    ShellStartup* startup_;
};
