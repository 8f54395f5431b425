#include "PageSystemInfo.h"

#include "ApplicationDeviceClass.h"
#include "Theme.h"
#include "UiSound.h"
#include "UnitPassword.h"
#include "page/Screens.h"
#include "page/shell/PageHome.h"

#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

PageSystemInfo::PageSystemInfo(QWidget* parent) : Page(parent) {
    setObjectName("PageSystemInfo");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(32, 16, 32, 16);
    body_ = new QWidget(this);
    body_->setObjectName("systemInfoBody");
    outer->addWidget(body_);
    outer->addStretch(1);
    auto* grid = new QGridLayout(body_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(24);
    grid->setColumnStretch(1, 1);
    auto* title = new QLabel("Software version", body_);
    title->setProperty("role", "subtitle");
    grid->addWidget(title, 0, 0);
    auto* version = new QLabel(VersionText(), body_);
    version->setObjectName("systemVersion");
    grid->addWidget(version, 0, 1);
    upgrade_ = new QPushButton("upgrade", body_);
    upgrade_->setObjectName("systemUpgrade");
    grid->addWidget(upgrade_, 0, 2);
    auto* vt = new QLabel("Vendor", body_);
    vt->setProperty("role", "subtitle");
    grid->addWidget(vt, 1, 0);
    vendor_ = new QLabel(body_);
    vendor_->setObjectName("systemVendor");
    vendor_->setWordWrap(true);
    grid->addWidget(vendor_, 1, 1, 1, 2);
    // The engineer must see that the installed program did not start: the version above is
    // the previous program's, and an upgrade now replaces the one that failed.
    const QString fallback = ApplicationDevice()->FallbackReason();
    if (!fallback.isEmpty()) {
        auto* ft = new QLabel("Fallback", body_);
        ft->setProperty("role", "subtitle");
        grid->addWidget(ft, 2, 0);
        auto* why = new QLabel(fallback, body_);
        why->setObjectName("systemFallback");
        why->setWordWrap(true);
        why->setStyleSheet(QString("color: %1;").arg(Theme::Warn.name()));
        grid->addWidget(why, 2, 1, 1, 2);
    }
    connect(upgrade_, &QPushButton::clicked, this, [this] {
        UiSound_Tap();
        askPassword();
    });
    Refresh();
}

UnitPassword* PageSystemInfo::Password() const {
    return password_.As<UnitPassword>();
}

QString PageSystemInfo::VersionText() {
    return QStringLiteral("v ") + KEST_VERSION;
}

void PageSystemInfo::Refresh() {
    vendor_->setText(ApplicationDevice()->GetVendorInfo().Text);
    upgrade_->setEnabled(ApplicationDevice()->OnGetUserLevel() != 0);
}

void PageSystemInfo::setDialogOpen(bool open) {
    body_->setEnabled(!open);
}

void PageSystemInfo::askPassword() {
    if (password_.Open()) return;
    auto* pw = new UnitPassword;
    connect(pw, &UnitPassword::ok, this, &PageSystemInfo::passwordOk);
    connect(pw, &UnitPassword::cancel, this, [this] {
        UiSound_Tap();
        Navigator::DismissModal(password_);
        setDialogOpen(false);
    });
    // Over the whole screen, so neither another tab nor "Back" can be pressed under it.
    password_ = Navigator::PresentModal(window(), pw, Transition::Scale);
    setDialogOpen(true);
}

void PageSystemInfo::passwordOk() {
    UiSound_Tap();
    UnitPassword* pw = Password();
    if (!pw) return;
    const QString text = pw->Text();
    if (text != ApplicationDevice()->GetSysPwd() && text != PageHome::ServicePassword) {
        pw->ClearText();
        UiSound_Ng();
        pw->ShowIncorrect();
        return;
    }
    Navigator::DismissModal(password_);
    openUpgrade();
}

void PageSystemInfo::openUpgrade() {
    Page* dialog = Screens::Open(ScreenId::SwUpgrade, window());
    if (!dialog) {
        setDialogOpen(false);
        return;
    }
    connect(dialog, &QObject::destroyed, this, [this] { setDialogOpen(false); });
}
