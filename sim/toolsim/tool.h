// One virtual tool: its registers, its event store with the two counters, lock and
// screw count, barcode table, and what a register write does. No sockets here.
#pragma once

#include "wire.h"

#include <chrono>
#include <deque>
#include <map>
#include <modbus.h>
#include <set>
#include <string>

namespace toolsim {

using Clock = std::chrono::steady_clock;

// What the network side must do after a register write.
struct WriteEffect {
    bool pump = false;            // event output or acknowledge changed: try to send
    bool dropConnections = false; // parameters initialised: the tool restarts its link
    bool armCurve = false;        // send a curve after the next fastening
    bool disarmCurve = false;
    bool scheduleRun = false; // remote run: fasten shortly
    bool cancelRun = false;
};

struct BarcodeEntry {
    uint16_t preset = 0, start = 0, end = 0;
    std::string code;
};

class VirtualTool {
  public:
    VirtualTool(int index, const ToolIdentity& id);
    ~VirtualTool();
    VirtualTool(const VirtualTool&) = delete;
    VirtualTool& operator=(const VirtualTool&) = delete;

    int index;
    ToolIdentity id;
    modbus_mapping_t* map;
    uint16_t* holding() const { return map->tab_registers; }
    uint16_t* input() const { return map->tab_input_registers; }

    bool silent = false;   // answers nothing (discovery, Modbus) until it comes back
    bool dead = false;     // listeners closed too (power off)
    std::set<int> refused; // registers whose writes answer an exception (tests)

    // Event store: events not yet delivered, oldest first. Counters as in 2900/2901.
    std::deque<EventRecord> store;
    uint16_t newest = 0, delivered = 0;
    bool inFlight = false; // the front event was sent and waits for its acknowledge
    Clock::time_point inFlightSince;

    std::string lastBarcode;
    int remaining = 0; // screws left of the screw count
    uint16_t currentError = 0;
    uint16_t lastTorque = 0, lastSpeed = 0;
    uint32_t fastenings = 0;
    BarcodeEntry barcodes[30];
    bool curveArmed = false; // 4100 := 1: the next fastening also sends its curve
    int curveFd = -1;
    uint64_t curves = 0, triggers = 0; // curves sent, trigger writes answered
    EventRecord lastFastening;

    // Automatic fastening (demo): every period while unlocked; every ngEvery-th is NG.
    bool autoOn = false;
    int autoPeriodMs = 3000;
    int autoNgEvery = 0;
    uint32_t autoCount = 0;
    Clock::time_point autoNext;
    // Remote run: one fastening shortly after 4003 := 1.
    bool runPending = false;
    Clock::time_point runAt;
    // Bursts: n more fastenings at an interval (benchmarks, catch-up).
    int burstLeft = 0;
    int burstIntervalUs = 0;
    Clock::time_point burstNext;

    // NG fastenings without a chosen code take the next of the NG kinds in turn.
    uint32_t ngCount = 0;

    uint64_t produced = 0, sent = 0, acked = 0, filtered = 0, overflowed = 0, ackTimeouts = 0;
    uint64_t scans = 0; // scan acks sent
    uint32_t rng;

    bool locked() const { return holding()[4001] != 0; }
    bool outputOn() const { return holding()[4015] != 0; }
    int pending() const;

    // Appends an event to the store (drivers drop kinds cleared in the backup filter).
    // Returns 0, or 1 when the filter dropped it.
    int produce(EventRecord r);
    // A fastening with defaults from the current preset; `kv` overrides fields (time,
    // preset, target, torque, speed, a1, a2, a3, screw, error, dir, snug, status). An NG
    // carries an error code of the tools' table, its torque and angle shaped to match:
    // `error` chooses it, else the kinds take turns (kNgCodes).
    // Returns 0, -1 when locked, 1 when filtered.
    int fasten(bool ok, const std::map<std::string, long>& kv);
    int barcodeRead(const std::string& code);
    int screwCountEvent(int delta); // status 8, one screw given back
    int otherEvent(uint16_t status, const std::map<std::string, long>& kv);
    void raiseError(uint16_t code);

    // Modbus exception code for a write, 0 when accepted.
    int checkWrite(int addr, uint16_t value) const;
    // Side effects of an accepted write (the value is already in the holding table).
    WriteEffect applyWrite(int addr, uint16_t value);

    // Sending: the event to put on the wire next, or null.
    const EventRecord* nextToSend() const;
    void markSent(bool waitAck);
    void acknowledge();
    void giveUpAck();      // no acknowledge in time: count it delivered
    void connectionLost(); // event connection closed: the in-flight event stays stored

    CurveRecord curveFor(const EventRecord& r) const;
    // Refreshes the status block, counters and the input copy of 4000..4999.
    void sync();
    void resetParameters();

    // What an NG fastening reports when no code is chosen: engaging torque not reached,
    // target torque before the minimum angle, target torque beyond the maximum angle.
    static constexpr uint16_t kNgCodes[] = {334, 330, 332};

  private:
    EventRecord base(bool ok);
    void shapeNg(EventRecord& r, uint16_t code);
    uint32_t rand();
};

} // namespace toolsim
