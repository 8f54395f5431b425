// The home screen: the guest or administrator menu built from the screen registry, the
// login prompt, the message box and the start-up checks; working screens open over it.
#pragma once

#include "Navigator.h"
#include "Page.h"
#include "UnitMenu.h"

#include <QPointer>

class QLabel;
class QPushButton;
class ShellStartup;
class UnitPassword;
class UnitErrorPopup;

class PageHome : public Page {
    Q_OBJECT
  public:
    static constexpr const char* ServicePassword = "vorkel5293";

    explicit PageHome(QWidget* parent = nullptr);
    ~PageHome() override;

    // The operation screen of the configured mode (what the "Operation" tile opens).
    void PresentOperation();
    void PresentPassword();
    void LogoutAsGuest();
    // The debug page over the whole window (service level).
    void PresentDebug();

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
    void passwordOk();
    void closePassword();
    QWidget* menuArea_;
    QLabel* level_;
    QPushButton* debugButton_;
    QPointer<UnitMenu> menu_;
    bool admin_ = false;
    ModalHandle password_;
    ModalHandle message_;
    ShellStartup* startup_;
};
