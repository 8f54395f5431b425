#include "PageSettingOperation.h"

#include "ApplicationDeviceClass.h"
#include "UiSound.h"
#include "UnitSelectJob.h"
#include "page/jobs/UnitSelectFastenTool.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace {
// A read-only name and the button that opens its list, as one row.
QWidget* pickerRow(QWidget* parent, QLineEdit*& field, const char* fieldName,
                   const char* buttonName, QPushButton*& button) {
    auto* box = new QWidget(parent);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    field = new QLineEdit(box);
    field->setObjectName(fieldName);
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
    field->setMinimumWidth(360);
    button = new QPushButton("...", box);
    button->setObjectName(buttonName);
    h->addWidget(field);
    h->addWidget(button);
    h->addStretch(1);
    return box;
}
} // namespace

const char* PageSettingOperation::CompactStyle() {
    return "QPushButton { min-height: 30px; font-size: 18px; padding: 0 12px; }"
           "QLineEdit { min-height: 30px; font-size: 20px; }"
           "QCheckBox { min-height: 30px; }"
           "QCheckBox::indicator { width: 60px; height: 26px; border-radius: 13px; }";
}

PageSettingOperation::PageSettingOperation(QWidget* parent) : SettingsTab(parent) {
    setObjectName("PageSettingOperation");
    setStyleSheet(CompactStyle());
    AddChoice("Opmode", "Operation mode", {"   with Job", "   without Job"});
    AddChoice("ScrewCountDir", "Screw count direction",
              {"   Up (1,2,3 ...)", "   Down (... 3,2,1)"});
    AddChoice("ScrewCountUnit", "Screw count unit", {"   per Step", "   per Job"});
    AddChoice("JobSelType", "Job selection type via input",
              {"   Binary (up to 256 jobs)", "   Direct (up to 8 jobs)"});
    AddChoice("BarcodeIF", "Barcode interface (only without job)",
              {"   Local (USB) scanner", "   Remote tool scanner"});
    AddSwitch("AutoStartJobOnBoot", "Automatically start default job on boot");
    QPushButton* jobButton = nullptr;
    QWidget* jobRow = addRow(
        "Default job", pickerRow(this, jobName_, "defaultJobName", "defaultJobSelect", jobButton));
    AddSwitch("SkipWithoutPwd", "Skip button access without password");
    AddSwitch("BackWithoutPwd", "Back button access without password");
    AddSwitch("ResetWithoutPwd", "Job/Step Reset button access without password");
    AddSwitch("DispJobReset", "Display job reset button");
    AddSwitch("JobSelWithoutPwd", "Job selection access without password");
    AddSwitch("AutoRestartJob", "Automatically restart job when finished");
    AddSwitch("BackupManager", "Enable backup manager");
    AddSwitch("BitSocketTray", "Enable BST (Bit Socket Tray)");
    QPushButton* trayButton = nullptr;
    QWidget* trayRow =
        addRow("Tray tool", pickerRow(this, trayTool_, "bstToolName", "bstToolSelect", trayButton));
    connect(jobButton, &QPushButton::clicked, this, &PageSettingOperation::chooseJob);
    connect(trayButton, &QPushButton::clicked, this, &PageSettingOperation::chooseTrayTool);
    ApplicationDeviceClass* dev = ApplicationDevice();
    ShowWhile(jobRow, [dev] { return dev->OnGetAutoStartJobOnBoot(); });
    ShowWhile(trayRow, [dev] { return dev->OnGetBitSocketTray() && dev->OnGetOpmode() == 1; });
}

void PageSettingOperation::Refresh() {
    SettingsTab::Refresh();
    // Null until the rows exist (the bound rows refresh while they are added).
    if (!trayTool_) return;
    ApplicationDeviceClass* dev = ApplicationDevice();
    jobName_->setText(dev->GetDefaultJobName());
    trayTool_->setText(dev->GetBstToolName());
}

void PageSettingOperation::chooseJob() {
    UiSound_Tap();
    if (dialog_.Open()) return;
    auto* dlg = new UnitSelectJob;
    connect(dlg, &UnitSelectJob::chosen, this, [this](int jdx) {
        const QString name = ApplicationDevice()->GetJobNameJdx(jdx);
        Navigator::DismissModal(dialog_);
        if (name.isNull()) return;
        ApplicationDevice()->SetDefaultJobName(name);
        jobName_->setText(name);
    });
    connect(dlg, &UnitSelectJob::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    dialog_ = Navigator::PresentModal(window(), dlg, Transition::Scale);
}

void PageSettingOperation::chooseTrayTool() {
    UiSound_Tap();
    if (dialog_.Open()) return;
    auto* dlg = new UnitSelectFastenTool(ApplicationDevice()->GetBstToolName());
    connect(dlg, &UnitSelectFastenTool::chosen, this, [this](const QString& name) {
        Navigator::DismissModal(dialog_);
        ApplicationDevice()->SetBstToolName(name);
        trayTool_->setText(ApplicationDevice()->GetBstToolName());
    });
    connect(dlg, &UnitSelectFastenTool::cancel, this, [this] { Navigator::DismissModal(dialog_); });
    dialog_ = Navigator::PresentModal(window(), dlg, Transition::Scale);
}
