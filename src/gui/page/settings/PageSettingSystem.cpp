#include "PageSettingSystem.h"

#include "ApplicationDeviceClass.h"
#include "SettingText.h"
#include "Timer.h"
#include "UiSound.h"
#include "UnitConfirmation.h"
#include "UnitPassword.h"
#include "page/Screens.h"
#include "page/p2p/RestartNotice.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const char* const kLanguages[] = {"   English",  "   Spanish",    "   French", "   German",
                                  "   Mandarin", "   Portuguese", "   Czech",  "   Italian"};

QPushButton* tabButton(QWidget* parent, const QString& text, const char* name) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setMinimumWidth(180);
    return b;
}

// A control and a button to its right as one row.
QWidget* withButton(QWidget* parent, QWidget* control, QPushButton* b) {
    auto* box = new QWidget(parent);
    auto* h = new QHBoxLayout(box);
    h->setContentsMargins(0, 0, 0, 0);
    if (control) {
        control->setParent(box);
        h->addWidget(control);
    }
    h->addStretch(1);
    b->setParent(box);
    h->addWidget(b);
    return box;
}
} // namespace

PageSettingSystem::PageSettingSystem(QWidget* parent) : SettingsTab(parent) {
    setObjectName("PageSettingSystem");
    addRow("Password", nullptr);
    const char* labels[3] = {"Current password :", "New password :", "Confirm password :"};
    const char* names[3] = {"pwdCurrent", "pwdNew", "pwdConfirm"};
    for (int i = 0; i < 3; ++i) {
        pwd_[i] = AddEntry(names[i], UnitKeypad::Text);
        pwd_[i]->setEchoMode(QLineEdit::Password);
        pwd_[i]->setMaxLength(200);
        pwd_[i]->setFixedWidth(560);
    }
    addRow(labels[0], pwd_[0]);
    addRow(labels[1], pwd_[1]);
    QPushButton* change = tabButton(this, "Change", "pwdChange");
    addRow(labels[2], withButton(this, pwd_[2], change));
    connect(change, &QPushButton::clicked, this, &PageSettingSystem::changePassword);

    addRow("Language", nullptr);
    auto* langBox = new QWidget(this);
    auto* g = new QGridLayout(langBox);
    g->setContentsMargins(0, 0, 0, 0);
    languages_ = new QButtonGroup(langBox);
    for (int i = 0; i < int(std::size(kLanguages)); ++i) {
        auto* b = new QPushButton(kLanguages[i], langBox);
        b->setObjectName(QString("language_%1").arg(i));
        b->setCheckable(true);
        b->setChecked(i == language_);
        languages_->addButton(b, i);
        g->addWidget(b, i / 4, i % 4);
    }
    connect(languages_, &QButtonGroup::idClicked, this, [] { UiSound_Tap(); });
    QPushButton* apply = tabButton(this, "Apply", "languageApply");
    addRow("", withButton(this, langBox, apply));
    // The choice stays on this page: no setting reads it.
    connect(apply, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        language_ = languages_->checkedId();
    });

    addRow("System time", nullptr);
    now_ = new QLabel(this);
    now_->setObjectName("systemTimeNow");
    QPushButton* time = tabButton(this, "Change", "systemTimeChange");
    addRow("", withButton(this, now_, time));
    connect(time, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        Screens::Open(ScreenId::SystemTime, window());
    });
    clock_ = new Timer(this);
    clock_->SetBegin(10);
    clock_->SetPeriod(1000);
    connect(clock_, &Timer::trigger, this, &PageSettingSystem::showTime);

    addRow("Factory reset", nullptr);
    QPushButton* reset = tabButton(this, "Reset", "factoryReset");
    addRow("", withButton(this, new QLabel("All settings are returned to the factory settings."),
                          reset));
    connect(reset, &QPushButton::clicked, this, &PageSettingSystem::askReset);

    addRow("P2P", nullptr);
    QPushButton* p2p = tabButton(this, "P2P", "p2pOpen");
    addRow("", withButton(this, new QLabel("Copy data between panels."), p2p));
    connect(p2p, &QPushButton::clicked, this, &PageSettingSystem::openP2p);
}

void PageSettingSystem::showEvent(QShowEvent* event) {
    SettingsTab::showEvent(event);
    showTime();
    clock_->SetEnabled(true);
}

void PageSettingSystem::hideEvent(QHideEvent* event) {
    clock_->SetEnabled(false);
    SettingsTab::hideEvent(event);
}

QString PageSettingSystem::PasswordError(const QString& current, const QString& fresh,
                                         const QString& confirm, const QString& login) {
    if (current.isEmpty()) return "Please enter old password.";
    if (fresh.isEmpty()) return "Please enter new password.";
    if (confirm.isEmpty()) return "Please enter confirm password.";
    if (current != login) return "Incorrect old password.";
    if (fresh != confirm) return "New and confirm password do not match.";
    return SettingText::Error("Password", fresh);
}

void PageSettingSystem::changePassword() {
    UiSound_Tap();
    ApplicationDeviceClass* dev = ApplicationDevice();
    const QString error =
        PasswordError(pwd_[0]->text(), pwd_[1]->text(), pwd_[2]->text(), dev->GetSysPwd());
    if (!error.isEmpty()) {
        ShowMessage("Error", error);
        return;
    }
    const QString old = dev->GetSysPwd();
    dev->SetSysPwd(pwd_[1]->text());
    if (dev->SaveSetting() != 0) {
        dev->SetSysPwd(old); // told it failed: the login keeps the password it had
        ShowMessage("Error", "Failed to save.");
        return;
    }
    for (QLineEdit* e : pwd_)
        e->clear();
    ShowMessage("Success", "Password has been changed successfully.");
}

void PageSettingSystem::showTime() {
    const UnitTime t = ApplicationDevice()->GetTime();
    now_->setText(QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", t.Year, t.Month, t.Day, t.Hour,
                                    t.Minute, t.Second));
}

void PageSettingSystem::ShowMessage(const QString& title, const QString& text, const QString& tag) {
    if (message_.Open()) return;
    auto* box = new UnitMessageBox;
    box->SetTitle(title);
    box->SetText(text);
    const bool restart = tag == "factory reset" || tag == "p2p_load";
    if (restart) box->SetCloseText("OK");
    connect(box, &UnitMessageBox::closed, this, [this, restart] {
        Navigator::DismissModal(message_);
        if (restart) RestartNotice::Restart(window());
    });
    message_ = Navigator::PresentModal(window(), box, Transition::Scale);
}

void PageSettingSystem::askReset() {
    UiSound_Tap();
    if (confirm_.Open()) return;
    auto* box = new UnitConfirmation("Are you sure you want to reset?", "factory reset");
    connect(box, &UnitMessageBox::confirmed, this, [this] {
        UiSound_Tap();
        Navigator::DismissModal(confirm_);
        askResetPassword();
    });
    connect(box, &UnitMessageBox::closed, this, [this] { Navigator::DismissModal(confirm_); });
    confirm_ = Navigator::PresentModal(window(), box, Transition::Scale);
}

void PageSettingSystem::askResetPassword() {
    if (password_.Open()) return;
    auto* pw = new UnitPassword;
    // Only the login password: the service password opens no reset.
    connect(pw, &UnitPassword::ok, this, [this, pw] {
        UiSound_Tap();
        ApplicationDeviceClass* dev = ApplicationDevice();
        if (pw->Text() != dev->GetSysPwd()) {
            pw->ClearText();
            UiSound_Ng();
            pw->ShowIncorrect();
            return;
        }
        Navigator::DismissModal(password_);
        // A reset that failed half-way cannot go on running either: restart all the same.
        if (dev->FactoryReset() == 0)
            ShowMessage("Success", "Press OK to restart the system.", "factory reset");
        else
            ShowMessage("Error", "Factory reset failed.\nPress OK to restart the system.",
                        "factory reset");
    });
    connect(pw, &UnitPassword::cancel, this, [this] {
        UiSound_Tap();
        Navigator::DismissModal(password_);
    });
    password_ = Navigator::PresentModal(window(), pw, Transition::Scale);
}

void PageSettingSystem::openP2p() {
    UiSound_Tap();
    // A save writes the settings file before its folder chooser; a load must open even when
    // the file cannot be written, as it is the repair.
    Screens::Open(ScreenId::P2P, window());
}
