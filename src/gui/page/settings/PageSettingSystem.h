// The system tab of the settings: password change, language (kept on the page), the
// clock with its editor, factory reset behind a confirmation and the login password, and
// the backup transfer. A message box tagged "factory reset" or "p2p_load" restarts the
// panel when it is closed.
// Widgets: "pwdCurrent", "pwdNew", "pwdConfirm", "pwdChange"; "language_<i>",
// "languageApply"; "systemTimeNow", "systemTimeChange"; "factoryReset"; "p2pOpen".
#pragma once

#include "Navigator.h"
#include "SettingsTab.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class Timer;

class PageSettingSystem : public SettingsTab {
    Q_OBJECT
  public:
    explicit PageSettingSystem(QWidget* parent = nullptr);
    // The message box of the five password checks, "" when the entries may be stored.
    static QString PasswordError(const QString& current, const QString& fresh,
                                 const QString& confirm, const QString& login);
    // The language chosen and applied on this page (index of the list).
    int Language() const { return language_; }
    // A message box; `tag` "factory reset" or "p2p_load" restarts the panel on close.
    Q_INVOKABLE void ShowMessage(const QString& title, const QString& text,
                                 const QString& tag = QString());

  protected:
    // The clock line ticks only while the tab is on screen.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    void changePassword();
    void showTime();
    void askReset();
    void askResetPassword();
    void openP2p();
    QLineEdit* pwd_[3];
    QButtonGroup* languages_;
    int language_ = 0;
    QLabel* now_;
    Timer* clock_;
    ModalHandle message_;
    ModalHandle confirm_;
    ModalHandle password_;
};
