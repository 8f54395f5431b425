// The operation tab of the settings: one bound row per operation setting, the default-job
// row (shown while the default job starts on boot) and the tray-tool row (shown while the
// bit socket tray is on and the panel runs without a job). Their buttons open the job list
// and the list of registered tools; a choice is stored at once, any other close changes
// nothing.
#pragma once

#include "Navigator.h"
#include "SettingsTab.h"

class QLineEdit;

class PageSettingOperation : public SettingsTab {
    Q_OBJECT
  public:
    explicit PageSettingOperation(QWidget* parent = nullptr);
    // Lower rows, so a tab of sixteen fits the screen's height (the log tab uses it too).
    static const char* CompactStyle();
    void Refresh() override;

  private:
    void chooseJob();
    void chooseTrayTool();
    QLineEdit* jobName_ = nullptr;
    QLineEdit* trayTool_ = nullptr;
    ModalHandle dialog_;
};
