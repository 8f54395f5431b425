// The last thing the panel shows before its restart, once its files were replaced (a loaded
// backup, a factory reset, a new program): what it still holds in memory must not go back
// into them. The notice has no button and covers the whole window, the device object
// refuses every save from the restart request on, and if the restart cannot be asked for
// the notice says to switch the panel off and on.
#pragma once

class QWidget;
class UnitMessageBox;

namespace RestartNotice {
inline constexpr const char* Text = "The system is restarting.\n\nPlease wait ...";
inline constexpr const char* FailedText =
    "The system could not restart.\n\nPlease switch the panel off and on.";
// Asks for the restart and shows the notice over `host`'s window; returns it.
UnitMessageBox* Restart(QWidget* host);
} // namespace RestartNotice
