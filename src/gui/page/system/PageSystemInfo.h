// The information tab of the system screen: the program's version, the vendor text,
// "upgrade" (not for guests) and, while the service launcher's fallback program runs, why
// ("systemFallback"). The upgrade asks for the login or the service password,
// then opens the upgrade dialog; the tab's controls are disabled while one of its dialogs
// is open.
#pragma once

#include "Navigator.h"
#include "Page.h"

class QLabel;
class QPushButton;
class UnitPassword;

class PageSystemInfo : public Page {
    Q_OBJECT
  public:
    explicit PageSystemInfo(QWidget* parent = nullptr);
    void Init() override { Refresh(); }
    void Refresh() override;
    UnitPassword* Password() const;
    // "v " and the version numbers the build defines.
    static QString VersionText();

  private:
    void askPassword();
    void passwordOk();
    void openUpgrade();
    void setDialogOpen(bool open);

    QWidget* body_;
    QLabel* vendor_;
    QPushButton* upgrade_;
    ModalHandle password_;
};
