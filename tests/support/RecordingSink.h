// The driver-event sink of the driver-layer tests: records every delivered event as a
// line ("update_regtools 0 3", "fastening 1", "barcode ABC") and waits for lines.
#pragma once

#include "ew_driver.h"

#include <functional>
#include <string>
#include <vector>

class RecordingSink : public EwDriverSink {
  public:
    std::vector<std::string> events; // every line delivered so far (tests may clear it)
    bool recordDebug = true;         // debug-log lines ("debug ...") too

    // Delivers what is queued; returns the lines not returned by an earlier drain().
    std::vector<std::string> drain();
    // Lines (so far) that begin with `prefix`.
    std::vector<std::string> with(const std::string& prefix) const;
    size_t count(const std::string& prefix) const { return with(prefix).size(); }
    // Forgets every line (what drain() and next() have seen too).
    void clear() {
        events.clear();
        drained_ = taken_ = 0;
    }
    // Delivers events as they are posted (blocking on the queue's wake eventfd, as the GUI
    // loop does) until `cond` holds; false after `ms`. `cond` must change with an event.
    bool waitUntil(const std::function<bool()>& cond, int ms = 5000);
    // Until some line begins with `prefix`.
    bool waitFor(const std::string& prefix, int ms = 5000);
    // Until a line beginning with `prefix` comes after those taken by earlier next()
    // calls; takes the lines up to it (later ones stay for the next call).
    bool next(const std::string& prefix, int ms = 5000);

    void UpdateDiscotools() override { add("update_discotools"); }
    void UpdateRegtools(int32_t tdx, int32_t state) override { add("update_regtools", tdx, state); }
    void UpdateCurrTdx(int32_t tdx) override { add("update_curr_tdx", tdx); }
    void TriggerGraphEvent(int32_t tdx) override { add("trigger", tdx); }
    void TriggerFastenEvent(int32_t tdx) override { add("fastening", tdx); }
    void TriggerInput(int32_t port, int32_t value) override { add("input", port, value); }
    void TriggerDrvsUpdate() override { add("update_drvs"); }
    void TriggerBcode(const char* text) override {
        events.push_back(std::string("barcode ") + text);
    }
    void TriggerEwDebug(const char* text) override {
        if (recordDebug) events.push_back(std::string("debug ") + text);
    }
    void TriggerEwInitDone() override { add("init_done"); }
    void TriggerImgTooLarge(int32_t w, int32_t h) override { add("image too large", w, h); }
    void TriggerWlanScanEvent(int32_t s) override { add("wlan scan", s); }
    void TriggerWithJobDisconnFlagSet(int32_t tdx, int32_t f) override {
        add("disconn flag", tdx, f);
    }
    void TriggerTTY(int32_t c) override { add("tty", c); }
    void TriggerProcessing(int32_t d) override { add("processing", d); }
    void TriggerBstHotplug(int32_t p) override { add("bst_hotplug", p); }
    void TriggerBstEvent(int32_t m, int32_t p, int32_t a, int32_t o) override {
        add("bst_event", m, p, a, o);
    }
    void TriggerBstCommFail(int32_t f) override { add("bst_commfail", f); }
    void TriggerUpdateDevs() override { add("update_devs"); }
    void TriggerLogFail() override { add("log_fail"); }
    void TriggerPlantCommand(int32_t id, int32_t mid, int32_t arg, const char* text) override {
        add("plant_command", id, mid, arg);
        if (*text) events.back() += std::string(" ") + text;
    }
    void TriggerOpConnected(int32_t c) override { add("op_connected", c); }
    void TriggerPlantDropped(const char* text) override {
        events.push_back(std::string("plant_dropped ") + text);
    }
    void TriggerMqttState(int32_t s) override { add("mqtt_state", s); }

  private:
    size_t drained_ = 0, taken_ = 0;
    template <typename... T> void add(const char* name, T... v) {
        std::string s = name;
        ((s += " " + std::to_string(v)), ...);
        events.push_back(s);
    }
};
