// The remote tool's run state, free of widgets: preset, direction and lock as last read
// from the current tool, whether it runs, and the checks and register writes behind each
// button, carried out through a port the screen implements over the device object.
#pragma once

#include "ToolHandback.h"

#include <QString>

class RemoteToolPort {
  public:
    virtual ~RemoteToolPort() = default;
    virtual int CurrTdx() = 0;
    virtual bool Connected() = 0; // the current tool
    virtual int ToolType() = 0;   // of the current tool
    virtual int Read(int addr, int count) = 0;
    virtual int Data(int addr) = 0;
    virtual int Write(int addr, int value) = 0; // 0 written
    virtual void ToolLost(int tdx) = 0;
    virtual void Error(const QString& text) = 0;
    virtual void Confirm(const QString& question, const QString& context) = 0;
    virtual void Changed() = 0; // the screen shows the state again
};

class RemoteTool {
  public:
    // Registers of the tool.
    enum {
        kStatus = 3303,
        kStatusCount = 11,
        kPresetNow = 3303,
        kDirectionNow = 3309,
        kAlarmReset = 4000,
        kLock = 4001,
        kRun = 4003,
        kPreset = 4004,
        kDirection = 4005,
        kInit = 252,
        kInitValue = 77,
    };
    static constexpr const char* kNoTool = "Please select a tool..";
    static constexpr const char* kNotConnected = "Tool is not connected.";
    static constexpr const char* kSure = "Are you sure?";

    explicit RemoteTool(RemoteToolPort& port, ToolHandbackPort& tools = ToolHandback::Device())
        : port_(port), handback_(tools) {}

    // On showing and when the current tool changes: the tool driven so far put back, the
    // status block read, the tool unlocked; unknown values and "Start" when the read fails.
    void Refresh();
    // The tab goes: the tool stopped, in fastening and locked again.
    void Leave();
    void RunPressed();
    void PresetChosen(int preset);
    void DirectionChosen(int direction);
    void LockChosen(int value);
    void ToolInitPressed();
    void AlarmResetPressed();
    void Confirmed(const QString& context);

    // What covers the controls instead: the controller families' and no-tool notices.
    QString Notice();
    int Preset() const { return preset_; }
    int Direction() const { return direction_; }
    int Lock() const { return lock_; }
    bool Running() const { return running_; }

  private:
    bool ready(); // a current, connected tool, else its message
    RemoteToolPort& port_;
    ToolHandback handback_;
    int preset_ = -1, direction_ = -1, lock_ = -1;
    bool running_ = false;
};
