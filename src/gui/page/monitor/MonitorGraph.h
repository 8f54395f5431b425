// The torque-curve tab's rules without widgets: the four graph settings, stopped and
// running, Start (registers 4101..4104, then 4100 := 1), Stop, the 5 s re-arm, a change
// of the current tool, and the frame of a fastening turned into chart points, peaks and
// the value table. The tab implements the port; tests record it.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

struct GraphSettings {
    int Channel1 = 1;  // "Torque"
    int Channel2 = 0;  // "Disable"
    int Sampling = 2;  // "10 ms"
    int Direction = 1; // "Fastening"
    bool operator==(const GraphSettings&) const = default;
};

// One chart as the frame gives it: values from 0 to Upper, the measured zero at Zero.
struct GraphChart {
    bool Shown = false;
    int Code = 0; // channel code of the samples
    int Upper = 5;
    int Zero = 0;
    std::vector<int> Points;
    QString Peak;
};

struct GraphView {
    QStringList Values; // the ten lines of the value table, in ValueTitle order
    GraphChart Charts[2];
};

// The frame of one fastening as the driver kept it, with the tool's torque unit and
// torque minimum.
struct GraphFrame {
    std::vector<uint8_t> Bytes;
    int TorqueUnit = -1;
    int TorqueMin = 0;
};

class MonitorGraphPort {
  public:
    virtual ~MonitorGraphPort() = default;
    virtual int32_t CurrTdx() = 0;
    virtual int32_t ToolType(int32_t tdx) = 0;
    virtual int32_t Write(int32_t addr, int32_t value) = 0; // the current tool; 0 when done
    virtual void SetTriggerResCnt(int n) = 0;
    virtual int32_t WatchOn(int32_t tdx) = 0; // 0 when installed
    virtual void WatchOff(int32_t tdx) = 0;
    virtual void WatchOffAll() = 0;
    virtual void Trigger() = 0;      // one trigger request to the current tool
    virtual void Rearm(bool on) = 0; // the periodic re-arm timer
    virtual bool ReadFrame(int32_t tdx, GraphFrame* out) = 0;
    virtual void ShowRunning(bool running) = 0;
    virtual void ShowSettings(const GraphSettings& s) = 0;
    virtual void ShowEmpty() = 0; // charts and values cleared
    virtual void Show(const GraphView& v) = 0;
};

class MonitorGraph {
  public:
    static constexpr int kRegTrigger = 4100;
    static constexpr int kRegChannel1 = 4101; // then channel 2, sampling, direction
    static constexpr int kRearmMs = 5000;
    static constexpr int kTorqueAngle = 8;
    static constexpr int kHeader = 40;
    static constexpr int kMaxSamples = 511;

    explicit MonitorGraph(MonitorGraphPort& port) : port_(port) {}
    bool Running() const { return running_; }
    const GraphSettings& Settings() const { return settings_; }
    // Taken only while stopped; Torque/Angle on channel 1 disables channel 2.
    bool SetSettings(GraphSettings s);
    bool CanEditSettings() const { return !running_; }

    // What covers the tab instead: the no-tool and controller notices (Start arms neither).
    QString Notice();
    void StartStop(); // the Start/Stop button
    bool Start();
    void Stop();
    void OnRearm();
    void OnToolChanged();
    void Clear();
    void OnGraphEvent(int32_t tdx);
    // The tab goes off screen: a running capture stops like Stop.
    void Leave();

    // A frame to what the tab shows; false (and nothing shown) for a frame that does not
    // hold what its header announces.
    static bool Compute(const GraphFrame& f, GraphView* out);
    static QString ChannelName(int code);
    static QString SamplingName(int value);
    static QString DirectionName(int value);
    static QString ValueTitle(int line); // 0..9
    static constexpr int kValueLines = 10;

  private:
    MonitorGraphPort& port_;
    GraphSettings settings_;
    bool running_ = false;
    int32_t tdx_ = -1; // the tool armed by Start
};
