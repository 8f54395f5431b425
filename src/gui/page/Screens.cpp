// The screen registry: one row per screen, and the openers that read it.
#include "Screens.h"

#include "ApplicationDeviceClass.h"
#include "Navigator.h"
#include "Page.h"
#include "UiSound.h"
#include "page/barcode/PageBarcode.h"
#include "page/barcode/PageSettingBarcode.h"
#include "page/jobs/PageJobManager.h"
#include "page/jobs/PageScrewPosition.h"
#include "page/jobs/PageStepEditor.h"
#include "page/monitor/PageMonitor.h"
#include "page/network/PageNetwork.h"
#include "page/network/PageSystemNetwork.h"
#include "page/operation/PageOperationWithJob.h"
#include "page/operation/PageOperationWithoutJob.h"
#include "page/p2p/PageP2P.h"
#include "page/p2p/PageSwUpgrade.h"
#include "page/parameters/PageParameters.h"
#include "page/settings/PageSetting.h"
#include "page/settings/PageSettingIo.h"
#include "page/settings/PageSettingLog.h"
#include "page/settings/PageSettingNetwork.h"
#include "page/settings/PageSettingOperation.h"
#include "page/settings/PageSettingShare.h"
#include "page/settings/PageSettingSystem.h"
#include "page/settings/PageSystemTime.h"
#include "page/settings/SettingsRestarts.h"
#include "page/shell/PageHome.h"
#include "page/storage/PageSystemStorage.h"
#include "page/system/PageDebug.h"
#include "page/system/PageSystem.h"
#include "page/system/PageSystemInfo.h"
#include "page/system/PageSystemVendor.h"
#include "page/system/PageTouchTest.h"
#include "page/tools/PageEditToolList.h"
#include "page/tools/PageRemote.h"
#include "page/tools/PageTopDownBox.h"
#include "unit/UnitBrowser.h"

#include <QPointer>
#include <array>

namespace {
PageHome* homeOf(QWidget* host) {
    return qobject_cast<PageHome*>(host);
}

bool withJob() {
    return ApplicationDevice()->OnGetOpmode() != 1;
}
bool withoutJob() {
    return !withJob();
}

void warnIfLogCardMissing(QWidget* host) {
    ApplicationDeviceClass* dev = ApplicationDevice();
    PageHome* home = homeOf(host);
    if (home && dev->OnGetLogPath() == 1 && !dev->IsMicroSdPresent())
        home->ShowMessage("Warning",
                          "The log store location is set to MicroSD,\nbut MicroSD does not exist.");
}

void saveSettings(QWidget* host) {
    PageHome* home = homeOf(host);
    if (ApplicationDevice()->SaveSetting() != 0 && home)
        home->ShowMessage("Error", "Failed to save.");
}

// Leaving the settings screens: pending Wi-Fi and FTP restarts run now, then the file
// is saved.
void leaveSettings(QWidget* host) {
    SettingsRestarts::Instance().RunPending();
    saveSettings(host);
}

void browserLeft(QWidget*) {
    UiSound_Tap();
    // A program file may have been replaced through the browser.
    ApplicationDevice()->MarkProgramExecutable();
}

void login(QWidget* host) {
    if (PageHome* home = homeOf(host)) home->PresentPassword();
}
void logout(QWidget* host) {
    if (PageHome* home = homeOf(host)) home->LogoutAsGuest();
}

void tap(QWidget*) {
    UiSound_Tap();
}
void ok(QWidget*) {
    UiSound_Ok();
}

// The tool list editor was closed from the pull-down panel: the registered tools are kept,
// or the operator learns they will be gone after a restart.
void saveRegTools(QWidget* host) {
    // Opened from the pull-down panel, whose window holds the home screen.
    PageHome* home = host ? host->window()->findChild<PageHome*>() : nullptr;
    if (ApplicationDevice()->SaveRegTools() != 0 && home)
        home->ShowMessage("Error", "Failed to save.");
}

template <class T> Page* make() {
    return new T;
}

using P = Presentation;
using S = ScreenId;
// In menu order: the guest menu shows the rows with a guest subtitle, the administrator
// menu those with an administrator subtitle; rows sharing a tile make one tile.
// clang-format off
const ScreenRow rows[] = {
    {.Id = S::OperationWithJob, .Tile = "Operation", .GuestSubtitle = "Start your job",
     .AdminSubtitle = "Start your job", .Icon = "menu_operation",
     .Factory = make<PageOperationWithJob>, .Current = withJob, .Opened = warnIfLogCardMissing},
    {.Id = S::OperationWithoutJob, .Tile = "Operation", .GuestSubtitle = "Start your job",
     .AdminSubtitle = "Start your job", .Icon = "menu_operation",
     .Factory = make<PageOperationWithoutJob>, .Current = withoutJob,
     .Opened = warnIfLogCardMissing},
    {.Id = S::JobManager, .Tile = "Job Manager", .AdminSubtitle = "Create & edit job",
     .Icon = "menu_jobs", .Level = 1, .Factory = make<PageJobManager>},
    {.Id = S::Parameters, .Tile = "Parameter", .AdminSubtitle = "Edit tool setting",
     .Icon = "menu_parameter", .Level = 1, .Factory = make<PageParameters>},
    {.Id = S::Monitor, .Tile = "Monitor", .GuestSubtitle = "Graph, IO, Error ...",
     .AdminSubtitle = "Graph, I/O, Error", .Icon = "menu_monitor", .Factory = make<PageMonitor>},
    {.Id = S::Remote, .Tile = "Remote", .AdminSubtitle = "Control remote tool",
     .Icon = "menu_remote", .Level = 1, .Factory = make<PageRemote>},
    {.Id = S::Setting, .Tile = "Setting", .AdminSubtitle = "System configuration",
     .Icon = "menu_setting", .Level = 1, .Factory = make<PageSetting>, .Left = leaveSettings},
    {.Id = S::System, .Tile = "System", .GuestSubtitle = "SW Version, Storage usage ...",
     .AdminSubtitle = "SW version, Storage ...", .Icon = "menu_system", .Factory = make<PageSystem>},
    {.Id = S::Login, .Tile = "Login", .GuestSubtitle = "as Administrator", .Icon = "menu_login",
     .How = P::Action, .Opened = login},
    {.Id = S::Logout, .Tile = "Logout", .AdminSubtitle = "as Guest", .Icon = "menu_logout",
     .Level = 1, .How = P::Action, .Opened = logout},
    {.Id = S::Browser, .Tile = "File browser", .AdminSubtitle = "Copy, Delete ...",
     .Icon = "menu_browser", .Level = 1, .How = P::Modal, .Factory = make<UnitBrowser>, .Left = browserLeft},
    {.Id = S::Debug, .Level = 2, .How = P::Overlay, .Factory = make<PageDebug>},
    // Opened by the service cable; its confirming button copies the values to the tool.
    {.Id = S::Network, .How = P::Modal, .Factory = make<PageNetwork>, .Opened = ok, .Left = tap},
    {.Id = S::TopDownBox, .How = P::PullDown, .Factory = make<PageTopDownBox>},
    {.Id = S::EditToolList, .Level = 1, .How = P::Modal, .Factory = make<PageEditToolList>,
     .Left = saveRegTools},
    // Tabs of the settings and system screens (opened inside them).
    {.Id = S::SettingNetwork, .Level = 1, .Factory = make<PageSettingNetwork>,
     .Left = leaveSettings},
    {.Id = S::SettingShare, .Level = 1, .Factory = make<PageSettingShare>, .Left = leaveSettings},
    {.Id = S::SystemNetwork, .Factory = make<PageSystemNetwork>},
    {.Id = S::SystemStorage, .Factory = make<PageSystemStorage>},
    // The job editors, opened from the job manager and the step editor.
    {.Id = S::StepEditor, .Level = 1, .Factory = make<PageStepEditor>},
    {.Id = S::ScrewPosition, .Level = 1, .Factory = make<PageScrewPosition>},
    {.Id = S::Barcode, .Level = 1, .Factory = make<PageBarcode>},
    // The preset barcode tab of the settings.
    {.Id = S::SettingBarcode, .Level = 1, .Factory = make<PageSettingBarcode>,
     .Left = leaveSettings},
    // The other settings tabs, the clock editor, the system tabs and the backup and upgrade
    // dialogs.
    {.Id = S::SettingOperation, .Level = 1, .Factory = make<PageSettingOperation>},
    {.Id = S::SettingIo, .Level = 1, .Factory = make<PageSettingIo>},
    {.Id = S::SettingLog, .Level = 1, .Factory = make<PageSettingLog>},
    {.Id = S::SettingSystem, .Level = 1, .Factory = make<PageSettingSystem>},
    {.Id = S::SystemTime, .Level = 1, .How = P::Modal, .Factory = make<PageSystemTime>},
    {.Id = S::SystemInfo, .Factory = make<PageSystemInfo>},
    {.Id = S::SystemVendor, .Level = 2, .Factory = make<PageSystemVendor>},
    {.Id = S::TouchTest, .Level = 2, .How = P::Modal, .Factory = make<PageTouchTest>},
    {.Id = S::P2P, .Level = 1, .How = P::Modal, .Factory = make<PageP2P>},
    {.Id = S::SwUpgrade, .How = P::Modal, .Factory = make<PageSwUpgrade>},
};
// clang-format on
static_assert(std::size(rows) == size_t(ScreenId::Count));

std::array<Screens::Factory, size_t(ScreenId::Count)>& overrides() {
    static std::array<Screens::Factory, size_t(ScreenId::Count)> f;
    return f;
}

int kindOf(ScreenId id) {
    return int(id);
}

Screens::Factory factoryOf(const ScreenRow& r) {
    if (const auto& f = overrides()[size_t(r.Id)]) return f;
    if (r.Factory) return r.Factory;
    return nullptr;
}
} // namespace

namespace Screens {

const ScreenRow& Row(ScreenId id) {
    for (const ScreenRow& r : rows)
        if (r.Id == id) return r;
    return rows[0]; // unreachable: the table has one row per id
}

QList<UnitMenu::Tile> MenuTiles(bool admin) {
    QList<UnitMenu::Tile> tiles;
    for (const ScreenRow& r : rows) {
        const char* subtitle = admin ? r.AdminSubtitle : r.GuestSubtitle;
        if (!r.Tile || !subtitle) continue;
        if (!tiles.isEmpty() && QString(tiles.last().Title) == r.Tile) continue;
        tiles.append({r.Tile, subtitle, r.Icon});
    }
    return tiles;
}

const ScreenRow* TileTarget(const QString& title) {
    const ScreenRow* first = nullptr;
    for (const ScreenRow& r : rows) {
        if (!r.Tile || title != r.Tile) continue;
        if (!r.Current || r.Current()) return &r;
        if (!first) first = &r;
    }
    return first;
}

bool TileEnabled(const QString& title) {
    const ScreenRow* r = TileTarget(title);
    return r && (r->How == Presentation::Action || Built(r->Id));
}

bool Built(ScreenId id) {
    return bool(factoryOf(Row(id)));
}

void SetFactory(ScreenId id, Factory factory) {
    overrides()[size_t(id)] = std::move(factory);
}

Page* Find(ScreenId id) {
    return Navigator::Find(kindOf(id));
}

Page* Open(ScreenId id, QWidget* host) {
    const ScreenRow& r = Row(id);
    if (ApplicationDevice()->OnGetUserLevel() < r.Level) return nullptr;
    if (r.How == Presentation::Action) {
        if (r.Opened) r.Opened(host);
        return nullptr;
    }
    if (Page* open = Find(id)) return open;
    Factory make = factoryOf(r);
    Page* page = make ? make() : nullptr;
    if (!page) return nullptr;
    std::function<void()> left;
    if (r.Left) left = [hook = r.Left, host = QPointer<QWidget>(host)] { hook(host); };
    switch (r.How) {
    case Presentation::Push:
        Navigator::Push(host, page, Transition::SlideLeft, kindOf(id), std::move(left));
        break;
    case Presentation::Overlay:
        Navigator::Push(host, page, Transition::Fade, kindOf(id), std::move(left));
        break;
    case Presentation::Modal:
        Navigator::PushModal(host, page, Transition::Scale, kindOf(id), std::move(left));
        break;
    case Presentation::PullDown:
        Navigator::PushModal(host, page, Transition::SlideDown, kindOf(id), std::move(left));
        break;
    case Presentation::Action:
        break;
    }
    if (r.Opened) r.Opened(host);
    return page;
}

Page* OpenTile(const QString& title, QWidget* host) {
    const ScreenRow* r = TileTarget(title);
    return r ? Open(r->Id, host) : nullptr;
}

void Close(ScreenId id) {
    if (Page* page = Find(id)) Navigator::Pop(page);
}

} // namespace Screens
