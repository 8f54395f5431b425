#include "tool.h"

#include "regmap.h"

#include <cstdlib>
#include <iterator>

namespace toolsim {

VirtualTool::VirtualTool(int idx, const ToolIdentity& ident)
    : index(idx), id(ident), rng(0x2545F491u + static_cast<uint32_t>(idx) * 7919u) {
    map = modbus_mapping_new_start_address(0, 0, 0, 0, 0, kRegCount, 0, kRegCount);
    if (!map) std::abort(); // out of memory at start-up: nothing sensible to do
    fillDefaults(id.type, id.ip, id.port, holding());
    input()[kRegTemperature] = static_cast<uint16_t>(352 + 4 * idx);
    sync();
}

VirtualTool::~VirtualTool() {
    modbus_mapping_free(map);
}

uint32_t VirtualTool::rand() {
    rng ^= rng << 13;
    rng ^= rng >> 17;
    rng ^= rng << 5;
    return rng;
}

int VirtualTool::pending() const {
    const int m = eventModulus(id.type);
    return (newest - delivered + m) % m;
}

void VirtualTool::resetParameters() {
    const uint16_t temp = input()[kRegTemperature];
    fillDefaults(id.type, id.ip, id.port, holding());
    input()[kRegTemperature] = temp;
    for (auto& b : barcodes)
        b = BarcodeEntry{};
    remaining = 0;
    sync();
}

int VirtualTool::produce(EventRecord r) {
    if (!isController(id.type) && r.status < 16 &&
        !(holding()[kRegBackupFilter] & (1u << r.status))) {
        filtered++;
        return 1;
    }
    const int m = eventModulus(id.type);
    newest = static_cast<uint16_t>((newest + 1) % m);
    r.number = newest;
    store.push_back(r);
    produced++;
    // The tool keeps at most m - 1 events; the oldest is lost.
    while (static_cast<int>(store.size()) > m - 1) {
        store.pop_front();
        delivered = static_cast<uint16_t>((delivered + 1) % m);
        inFlight = false;
        overflowed++;
    }
    sync();
    return 0;
}

EventRecord VirtualTool::base(bool ok) {
    const uint16_t* h = holding();
    EventRecord r;
    int p = h[kRegPreset];
    if (p < 1 || p > 15) p = 1;
    const int b = (p - 1) * 15;
    r.preset = static_cast<uint16_t>(p);
    r.targetTorque = h[b + 2];
    const int jitter = static_cast<int>(rand() % 7) - 3; // within 3 % of the target
    r.convTorque = ok ? static_cast<uint16_t>(r.targetTorque + r.targetTorque * jitter / 100)
                      : static_cast<uint16_t>(r.targetTorque * 70 / 100);
    r.fastenTime = static_cast<uint16_t>(600 + rand() % 400);
    r.speed = h[b + 8];
    r.a1 = static_cast<uint16_t>(720 + rand() % 360);
    r.a2 = static_cast<uint16_t>(20 + rand() % 40);
    r.a3 = 0;
    r.snug = h[b + 7];
    r.direction = h[kRegDirection];
    r.status = ok ? 1 : 2;
    r.barcode = lastBarcode;
    return r;
}

static void applyOverrides(EventRecord& r, const std::map<std::string, long>& kv) {
    const struct {
        const char* key;
        uint16_t EventRecord::*field;
    } keys[] = {{"time", &EventRecord::fastenTime},
                {"preset", &EventRecord::preset},
                {"target", &EventRecord::targetTorque},
                {"torque", &EventRecord::convTorque},
                {"speed", &EventRecord::speed},
                {"a1", &EventRecord::a1},
                {"a2", &EventRecord::a2},
                {"a3", &EventRecord::a3},
                {"screw", &EventRecord::screwNo},
                {"error", &EventRecord::error},
                {"dir", &EventRecord::direction},
                {"snug", &EventRecord::snug},
                {"status", &EventRecord::status}};
    for (const auto& k : keys) {
        auto it = kv.find(k.key);
        if (it != kv.end()) r.*(k.field) = static_cast<uint16_t>(it->second);
    }
}

// The record of an NG of that kind; other codes keep the short torque of base().
void VirtualTool::shapeNg(EventRecord& r, uint16_t code) {
    r.error = code;
    switch (code) {
    case 330: // seated too early: full torque at a small angle
        r.convTorque = r.targetTorque;
        r.a1 = static_cast<uint16_t>(90 + rand() % 90);
        break;
    case 332: // turned too far before the torque came
        r.convTorque = r.targetTorque;
        r.a1 = static_cast<uint16_t>(2200 + rand() % 600);
        break;
    default: // 334 and the rest: the torque never came up
        break;
    }
}

int VirtualTool::fasten(bool ok, const std::map<std::string, long>& kv) {
    if (locked()) return -1;
    EventRecord r = base(ok);
    if (!ok) {
        auto chosen = kv.find("error");
        shapeNg(r, chosen != kv.end() ? static_cast<uint16_t>(chosen->second)
                                      : kNgCodes[ngCount++ % std::size(kNgCodes)]);
    }
    const int screwCount = holding()[regScrewCount(id.type)];
    if (ok && remaining > 0) remaining--;
    r.screwNo = static_cast<uint16_t>(screwCount > 0 ? remaining : fastenings + 1);
    applyOverrides(r, kv);
    fastenings++;
    lastTorque = r.convTorque;
    lastSpeed = r.speed;
    lastFastening = r;
    // Auto-lock: the tool locks itself once its screw count is done.
    if (ok && holding()[kRegAutoLock] && screwCount > 0 && remaining == 0) holding()[4001] = 1;
    return produce(r);
}

int VirtualTool::barcodeRead(const std::string& code) {
    lastBarcode = code.substr(0, 32);
    if (holding()[kRegPresetChangeByBarcode]) {
        for (const auto& e : barcodes) {
            if (e.code.empty()) continue;
            std::string part = lastBarcode, want = e.code;
            if (e.end && e.end >= e.start && e.start >= 1) {
                const size_t len = static_cast<size_t>(e.end - e.start + 1);
                part = part.size() >= e.start ? part.substr(e.start - 1, len) : std::string();
                want = want.size() >= e.start ? want.substr(e.start - 1, len) : std::string();
            }
            if (part == want && e.preset >= 1 && e.preset <= 15) {
                holding()[kRegPreset] = e.preset;
                break;
            }
        }
    }
    EventRecord r;
    r.status = 7;
    r.preset = holding()[kRegPreset];
    r.direction = holding()[kRegDirection];
    r.screwNo = static_cast<uint16_t>(remaining);
    r.barcode = lastBarcode;
    return produce(r);
}

int VirtualTool::screwCountEvent(int delta) {
    remaining += delta;
    if (remaining < 0) remaining = 0;
    EventRecord r;
    r.status = 8;
    r.preset = holding()[kRegPreset];
    r.screwNo = static_cast<uint16_t>(remaining);
    r.barcode = lastBarcode;
    return produce(r);
}

int VirtualTool::otherEvent(uint16_t status, const std::map<std::string, long>& kv) {
    EventRecord r;
    r.status = status;
    r.preset = holding()[kRegPreset];
    r.direction = holding()[kRegDirection];
    r.error = currentError;
    r.screwNo = static_cast<uint16_t>(remaining);
    r.barcode = lastBarcode;
    applyOverrides(r, kv);
    return produce(r);
}

void VirtualTool::raiseError(uint16_t code) {
    uint16_t* e = holding() + kRegErrors;
    for (int i = 7; i > 0; i--)
        e[i] = e[i - 1];
    e[0] = code;
    currentError = code;
    sync();
}

int VirtualTool::checkWrite(int addr, uint16_t value) const {
    if (refused.count(addr)) return MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE;
    return toolsim::checkWrite(id.type, addr, value, holding());
}

WriteEffect VirtualTool::applyWrite(int addr, uint16_t value) {
    WriteEffect fx;
    uint16_t* h = holding();
    if (addr == regScrewCount(id.type)) remaining = value;
    switch (addr) {
    case kRegEventOutput:
        if (value == 2) { // on, stored events skipped
            store.clear();
            inFlight = false;
            delivered = newest;
        } else if (value == 0) {
            inFlight = false; // an unacknowledged event stays stored
        }
        fx.pump = true;
        break;
    case kRegAck:
        if (value == 1) acknowledge();
        h[kRegAck] = 0;
        fx.pump = true;
        break;
    case kRegAlarmReset:
        h[kRegAlarmReset] = 0;
        if (value) {
            currentError = 0;
            otherEvent(5, {});
            fx.pump = true;
        }
        break;
    case kRegRemoteRun:
        if (value && !locked()) fx.scheduleRun = true;
        if (!value) fx.cancelRun = true;
        break;
    case kRegCurveTrigger:
        if (value)
            fx.armCurve = true;
        else
            fx.disarmCurve = true;
        break;
    case kRegBcIndex: {
        const BarcodeEntry& e = barcodes[value % 30];
        h[kRegBcPreset] = e.preset;
        h[kRegBcStart] = e.start;
        h[kRegBcEnd] = e.end;
        for (int i = 0; i < 32; i++)
            h[kRegBcCode + i] = i < static_cast<int>(e.code.size())
                                    ? static_cast<uint8_t>(e.code[static_cast<size_t>(i)])
                                    : 0;
        break;
    }
    case kRegBcStore:
        if (value == 1) {
            BarcodeEntry& e = barcodes[h[kRegBcIndex] % 30];
            e.preset = h[kRegBcPreset];
            e.start = h[kRegBcStart];
            e.end = h[kRegBcEnd];
            e.code.clear();
            for (int i = 0; i < 32 && h[kRegBcCode + i]; i++)
                e.code += static_cast<char>(h[kRegBcCode + i] & 255);
        }
        h[kRegBcStore] = 0;
        break;
    case kRegBcClear:
        if (value == 2)
            for (auto& b : barcodes)
                b = BarcodeEntry{};
        h[kRegBcClear] = 0;
        break;
    case kRegParamInit:
        if (!isController(id.type) && value == 77) {
            resetParameters();
            fx.dropConnections = true;
        }
        break;
    default:
        break;
    }
    sync();
    return fx;
}

const EventRecord* VirtualTool::nextToSend() const {
    if (inFlight || store.empty()) return nullptr;
    return &store.front();
}

void VirtualTool::markSent(bool waitAck) {
    sent++;
    if (waitAck) {
        inFlight = true;
        inFlightSince = Clock::now();
        return;
    }
    delivered = store.front().number;
    store.pop_front();
    sync();
}

void VirtualTool::acknowledge() {
    if (!inFlight || store.empty()) return;
    acked++;
    delivered = store.front().number;
    store.pop_front();
    inFlight = false;
    sync();
}

void VirtualTool::giveUpAck() {
    ackTimeouts++;
    acked--; // acknowledge() counts it; this one was not acknowledged
    acknowledge();
}

void VirtualTool::connectionLost() {
    inFlight = false;
}

namespace {
// Sample i of n of a channel (codes of 4101/4102) for the fastening `r`: the torque rises
// slowly over the run-down and steeply to the final torque in the last fifth; channel 1
// starts with a short negative dip (the bit settling backwards into the screw head).
int16_t curveSample(uint16_t code, const EventRecord& r, int i, int n, bool first) {
    const int knee = n * 4 / 5;
    const int torque =
        i < knee ? i * r.convTorque / (10 * knee)
                 : r.convTorque / 10 + (r.convTorque * 9 / 10) * (i - knee + 1) / (n - knee);
    long v;
    switch (code) {
    case 2: // current (mA / 10)
    case 6:
        v = 50 + torque / 4;
        break;
    case 3: // speed (rpm)
    case 5:
        v = i < knee ? r.speed : r.speed - r.speed * (i - knee) / (n - knee);
        break;
    case 4: // angle (degree)
    case 7:
        v = long(r.a1 + r.a2) * i / (n - 1);
        break;
    default: // torque, torque/angle
        v = torque;
        break;
    }
    if (first && i >= 2 && i < 6) v = -long(r.convTorque) / 8 - 5;
    return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}
} // namespace

CurveRecord VirtualTool::curveFor(const EventRecord& r) const {
    CurveRecord c;
    c.channel1 = holding()[kRegCurveCh1];
    c.channel2 = c.channel1 == 8 ? 0 : holding()[kRegCurveCh2];
    c.fastenTime = r.fastenTime;
    c.targetTorque = r.targetTorque;
    c.convTorque = r.convTorque;
    c.speed = r.speed;
    c.angle1 = r.a1;
    c.angle2 = r.a2;
    c.snugAngle = r.snug;
    c.error = r.error;
    c.count = r.screwNo;
    c.status = r.status;
    // As many samples as one Modbus/TCP frame (260 bytes) holds: 100 of one channel, 55
    // of two.
    const int n = c.channel2 ? 55 : 100;
    for (int i = 0; i < n; i++) {
        c.samples1.push_back(curveSample(c.channel1, r, i, n, true));
        if (c.channel2) c.samples2.push_back(curveSample(c.channel2, r, i, n, false));
    }
    return c;
}

void VirtualTool::sync() {
    uint16_t* h = holding();
    uint16_t* in = input();
    h[kRegNewest] = newest;
    h[kRegDelivered] = delivered;
    for (int r = 4000; r < 5000; r++)
        in[r] = h[r];
    in[3303] = h[kRegPreset];
    in[3304] = lastTorque;
    in[3305] = lastSpeed;
    in[3306] = static_cast<uint16_t>(remaining);
    in[3307] = h[kRegLock];
    in[3308] = runPending ? 1 : 0;
    in[3309] = h[kRegDirection];
    in[3310] = currentError;
    in[3311] = static_cast<uint16_t>(pending());
    in[3312] = static_cast<uint16_t>(fastenings);
    // 3313 (temperature) is set by the control interface only.
}

} // namespace toolsim
