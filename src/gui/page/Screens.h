// The one registry of screens: each row names a screen, its tile on the menus, the user
// level that may open it, how it is presented and how it is built. A screen joins the
// panel by one row in Screens.cpp; the menus, tile enablement and every opener read it.
#pragma once

#include "UnitMenu.h"

#include <QList>
#include <QString>
#include <functional>

class Page;
class QWidget;

enum class ScreenId {
    OperationWithJob,
    OperationWithoutJob,
    JobManager,
    Parameters,
    Monitor,
    Remote,
    Setting,
    System,
    Browser,
    Login,
    Logout,
    Debug,
    Network,
    TopDownBox,
    EditToolList,
    SettingNetwork,
    SettingShare,
    SystemNetwork,
    SystemStorage,
    StepEditor,
    ScrewPosition,
    Barcode,
    SettingBarcode,
    SettingOperation,
    SettingIo,
    SettingLog,
    SettingSystem,
    SystemTime,
    SystemInfo,
    SystemVendor,
    TouchTest,
    P2P,
    SwUpgrade,
    Count
};

// Push: slides in over its host. Modal: centred over a dimming layer. Overlay: fades in
// over its host (the debug page over the whole window). PullDown: slides down from the top
// over a dimming layer and back up when closed. Action: no screen; the row's Opened hook
// is the whole effect (login prompt, logout).
enum class Presentation { Push, Modal, Overlay, PullDown, Action };

struct ScreenRow {
    ScreenId Id;
    const char* Tile = nullptr;          // tile title; nullptr: opened from elsewhere
    const char* GuestSubtitle = nullptr; // on the guest menu with this subtitle
    const char* AdminSubtitle = nullptr; // on the administrator menu with this subtitle
    const char* Icon = nullptr;          // tile picture (resource icon name)
    int Level = 0;                       // lowest UserLevel that may open it
    Presentation How = Presentation::Push;
    Page* (*Factory)() = nullptr; // nullptr: the screen is not built yet, its tile disabled
    // Of rows sharing one tile, whether this row is the one the tile opens now.
    bool (*Current)() = nullptr;
    // After the screen was presented (or, for an Action, instead of a screen).
    void (*Opened)(QWidget* host) = nullptr;
    // When the operator leaves the screen, before it is taken away.
    void (*Left)(QWidget* host) = nullptr;
};

namespace Screens {
using Factory = std::function<Page*()>;

const ScreenRow& Row(ScreenId id);
// The tiles of the guest or the administrator menu, in row order.
QList<UnitMenu::Tile> MenuTiles(bool admin);
// The row a tile opens now, or nullptr for an unknown title.
const ScreenRow* TileTarget(const QString& title);
// A tile can be pressed when its screen is built (or it is an action).
bool TileEnabled(const QString& title);

// Opens the screen over `host` as its row says: nothing when the user level is too low,
// the screen is not built, or it is open already (every screen is one of its kind).
// Returns the open screen, nullptr for none (and for actions).
Page* Open(ScreenId id, QWidget* host);
Page* OpenTile(const QString& title, QWidget* host);
// The open screen of that id, or nullptr.
Page* Find(ScreenId id);
// Takes the screen away without the row's Left reaction (its opener closes it).
void Close(ScreenId id);

bool Built(ScreenId id);
// Replaces the factory of a row (tests stand in pages for screens not built yet);
// nullptr restores the row's own.
void SetFactory(ScreenId id, Factory factory);
} // namespace Screens
