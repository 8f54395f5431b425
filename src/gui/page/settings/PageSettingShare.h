// The share tab: the FTP share (switch, user name, password), backup event forwarding
// (switch, server address, port) and the Open Protocol server (switch, port), each applied
// by its own button through ShareForm.
// Every button plays the tap sound.
#pragma once

#include "Navigator.h"
#include "SettingsTab.h"

class QCheckBox;
class QLineEdit;
class UnitMessageBox;

class PageSettingShare : public SettingsTab {
    Q_OBJECT
  public:
    explicit PageSettingShare(QWidget* parent = nullptr);
    UnitMessageBox* MessageDialog() const;

  private:
    void load();
    void enableFields();
    void applyFtp();
    void applyForward();
    void applyOpen();
    void message(const QString& title, const QString& text);
    QCheckBox* ftpEnable_;
    QLineEdit* ftpUser_;
    QLineEdit* ftpPwd_;
    QCheckBox* befEnable_;
    QLineEdit* befIp_[4];
    QLineEdit* befPort_;
    QCheckBox* opEnable_;
    QLineEdit* opPort_;
    ModalHandle message_;
};
