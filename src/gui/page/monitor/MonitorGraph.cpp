#include "MonitorGraph.h"

#include "page/operation/ResultFormat.h"
#include "page/tools/ToolNotice.h"

#include <algorithm>
#include <climits>

namespace {
// clang-format off
const char* const kChannels[] = {"Disable", "Torque", "Current (mA)", "Speed (rpm)",
                                 "Angle (degree)", "Speed command (rpm)",
                                 "Current commond (mA)", "Snug angle (degree)",
                                 "Torque/Angle"};
const char* const kSampling[] = {"5 ms", "10 ms", "15 ms", "30 ms"};
const char* const kDirection[] = {"Fastening", "Loosening", "Both"};
const char* const kValueTitles[MonitorGraph::kValueLines] = {
    "Time(ms)", "Target\nTorque", "Converted\nTorque", "Speed\n(rpm)", "Angle1\n(degree)",
    "Angle2\n(degree)", "Snug angle\n(degree)", "Error", "Count", "Status"};
// clang-format on

template <size_t N> QString pick(const char* const (&names)[N], int index) {
    return index >= 0 && index < int(N) ? names[index] : "Unknown";
}

int be(const std::vector<uint8_t>& b, size_t o) {
    return (b[o] << 8) | b[o + 1];
}

QString hundredths(int v) {
    const QString t = ResultFormat::Torque(uint32_t(v < 0 ? -v : v));
    return v < 0 ? "-" + t : t;
}

QString unitOf(int code, int torqueUnit) {
    switch (code) {
    case 1:
    case MonitorGraph::kTorqueAngle:
        return ResultFormat::TorqueUnit(torqueUnit);
    case 2:
    case 6:
        return "mA";
    case 3:
    case 5:
        return "rpm";
    case 4:
    case 7:
        return "degree";
    default:
        return {};
    }
}

// One channel's samples into a chart: the peak (at least `floor`), the negative quarter
// rule, the zero at a quarter of the height.
GraphChart chartOf(const std::vector<uint8_t>& b, size_t at, int n, int code, int floor,
                   int torqueUnit) {
    GraphChart c;
    c.Shown = true;
    c.Code = code;
    std::vector<int> s(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        int v = int16_t(be(b, at + 2 * size_t(i)));
        if (code == 2) v *= 10; // current comes in tens of mA
        s[size_t(i)] = v;
    }
    int p = floor, low = 0;
    if (n > 0) {
        p = std::max(floor, *std::max_element(s.begin(), s.end()));
        low = *std::min_element(s.begin(), s.end());
    }
    // A deep negative swing (a loosening) scales the chart so that it keeps within the
    // quarter below the zero line; the peak text then tells that swing itself, since -4s
    // would read four times what the tool measured.
    int peak = std::max(p, 0);
    if (low < 0 && -low > p / 4) p = -4 * low, peak = low;
    if (p < 0) p = 0;
    const int q = p / 4;
    // A peak under 4 would give a limit of 0: a flat chart with no height to draw in.
    c.Upper = q == 0 ? 5 : 5 * q + q / 10;
    c.Zero = q;
    c.Points.reserve(size_t(n) + 1);
    c.Points.push_back(q);
    for (int v : s)
        c.Points.push_back(v + q);
    const QString unit = unitOf(code, torqueUnit);
    const bool torque = code == 1 || code == MonitorGraph::kTorqueAngle;
    c.Peak = torque ? hundredths(peak) : QString::number(peak);
    if (!unit.isEmpty()) c.Peak += " " + unit;
    return c;
}
} // namespace

QString MonitorGraph::ChannelName(int code) {
    return pick(kChannels, code);
}
QString MonitorGraph::SamplingName(int value) {
    return pick(kSampling, value - 1);
}
QString MonitorGraph::DirectionName(int value) {
    return pick(kDirection, value - 1);
}
QString MonitorGraph::ValueTitle(int line) {
    return line >= 0 && line < kValueLines ? kValueTitles[line] : QString();
}

bool MonitorGraph::SetSettings(GraphSettings s) {
    if (running_) return false;
    if (s.Channel1 == kTorqueAngle) s.Channel2 = 0;
    settings_ = s;
    port_.ShowSettings(settings_);
    return true;
}

void MonitorGraph::StartStop() {
    if (running_)
        Stop();
    else
        Start();
}

QString MonitorGraph::Notice() {
    const int32_t tdx = port_.CurrTdx();
    return ToolNotice::For(tdx, tdx < 0 ? 0 : port_.ToolType(tdx));
}

bool MonitorGraph::Start() {
    if (running_) return true;
    Clear();
    const int32_t tdx = port_.CurrTdx();
    if (!Notice().isEmpty()) return false;
    const int values[] = {settings_.Channel1, settings_.Channel2, settings_.Sampling,
                          settings_.Direction};
    for (int i = 0; i < 4; ++i)
        if (port_.Write(kRegChannel1 + i, values[i] & 0xffff) != 0) return false;
    if (port_.Write(kRegTrigger, 1) != 0) return false;
    port_.SetTriggerResCnt(0);
    if (port_.WatchOn(tdx) != 0) {
        // No watch, no curve: leave the tool disarmed rather than show a capture that
        // cannot arrive.
        port_.Write(kRegTrigger, 0);
        return false;
    }
    running_ = true;
    tdx_ = tdx;
    port_.ShowRunning(true);
    port_.Rearm(true);
    return true;
}

void MonitorGraph::Stop() {
    if (!running_) return;
    port_.WatchOff(tdx_);
    running_ = false;
    tdx_ = -1;
    port_.ShowRunning(false);
    port_.Rearm(false);
    port_.Write(kRegTrigger, 0);
}

void MonitorGraph::Leave() {
    Stop();
}

void MonitorGraph::OnRearm() {
    if (running_) port_.Trigger();
}

void MonitorGraph::OnToolChanged() {
    port_.WatchOffAll();
    running_ = false;
    tdx_ = -1;
    port_.ShowRunning(false);
    port_.Rearm(false);
    Clear();
}

void MonitorGraph::Clear() {
    port_.ShowEmpty();
}

void MonitorGraph::OnGraphEvent(int32_t tdx) {
    GraphFrame f;
    GraphView v;
    // A frame that cannot be read or does not add up keeps the previous curve.
    if (port_.ReadFrame(tdx, &f) && Compute(f, &v)) port_.Show(v);
}

bool MonitorGraph::Compute(const GraphFrame& f, GraphView* out) {
    const auto& b = f.Bytes;
    if (b.size() < size_t(kHeader)) return false;
    const int code1 = be(b, 10), code2 = be(b, 12), n = be(b, 18);
    const size_t want = size_t(kHeader) + size_t(code2 ? 4 : 2) * size_t(n);
    if (n > kMaxSamples || b.size() < want) return false;

    GraphView v;
    const int time = be(b, 20), angle1 = be(b, 28), angle2 = be(b, 30);
    v.Values << (code1 == kTorqueAngle ? QString("%1 / %2 degree").arg(time).arg(angle1 + angle2)
                                       : QString("%1 ms").arg(time))
             << ResultFormat::Torque(uint32_t(be(b, 22)))
             << ResultFormat::Torque(uint32_t(be(b, 24)));
    for (size_t o = 26; o <= 38; o += 2)
        v.Values << QString::number(be(b, o));

    // The torque channel's peak is at least the tool's torque minimum and the result.
    const int floor1 = code1 == 1 ? std::max(f.TorqueMin, be(b, 24)) : INT_MIN / 8;
    v.Charts[0] = chartOf(b, kHeader, n, code1, floor1, f.TorqueUnit);
    if (code2 != 0) {
        v.Charts[1] = chartOf(b, kHeader + 2 * size_t(n), n, code2, INT_MIN / 8, f.TorqueUnit);
        v.Charts[1].Peak = ChannelName(code2) + " : " + v.Charts[1].Peak;
    }
    *out = std::move(v);
    return true;
}
