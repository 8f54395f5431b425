#include "RemoteTool.h"

#include "ToolNotice.h"

QString RemoteTool::Notice() {
    const int tdx = port_.CurrTdx();
    return ToolNotice::For(tdx, tdx < 0 ? 0 : port_.ToolType());
}

void RemoteTool::Refresh() {
    handback_.Release();
    running_ = false;
    preset_ = direction_ = lock_ = -1;
    if (Notice().isEmpty() && port_.Read(kStatus, kStatusCount) == 0) {
        preset_ = port_.Data(kPresetNow);
        direction_ = port_.Data(kDirectionNow);
        lock_ = 0;
        // Driven from here, the tool must not wait for a job to unlock it.
        if (port_.Write(kLock, 0) == 0) handback_.Lock(port_.CurrTdx(), false);
    }
    port_.Changed();
}

void RemoteTool::Leave() {
    handback_.Release();
    running_ = false;
    lock_ = -1;
}

bool RemoteTool::ready() {
    if (port_.CurrTdx() < 0) {
        port_.Error(kNoTool);
        return false;
    }
    if (!port_.Connected()) {
        port_.Error(kNotConnected);
        return false;
    }
    return true;
}

void RemoteTool::RunPressed() {
    if (!ready()) return;
    // The button follows what the tool took: a refused write leaves it as it was.
    if (port_.Write(kRun, running_ ? 0 : 1) == 0) {
        running_ = !running_;
        handback_.Running(port_.CurrTdx(), running_);
    }
    port_.Changed();
}

void RemoteTool::PresetChosen(int preset) {
    if (!ready()) return;
    if (port_.Write(kPreset, preset) == 0) preset_ = preset;
    port_.Changed();
}

void RemoteTool::DirectionChosen(int direction) {
    if (!ready()) return;
    if (port_.Write(kDirection, direction) == 0) {
        direction_ = direction;
        handback_.Direction(port_.CurrTdx(), direction);
    }
    port_.Changed();
}

void RemoteTool::LockChosen(int value) {
    if (!ready()) return;
    if (port_.Write(kLock, value) == 0) {
        lock_ = value;
        handback_.Lock(port_.CurrTdx(), value != 0);
    }
    port_.Changed();
}

void RemoteTool::ToolInitPressed() {
    if (ready()) port_.Confirm(kSure, "init");
}

void RemoteTool::AlarmResetPressed() {
    if (ready()) port_.Confirm(kSure, "alarm");
}

void RemoteTool::Confirmed(const QString& context) {
    if (!ready()) return; // the tool went away while the question was open
    if (context == "alarm") {
        port_.Write(kAlarmReset, 1);
    } else if (context == "init") {
        // The tool restarts with its defaults: it is dismissed and comes back through
        // discovery.
        const int tdx = port_.CurrTdx();
        if (port_.Write(kInit, kInitValue) == 0) port_.ToolLost(tdx);
        running_ = false;
        port_.Changed();
    }
}
