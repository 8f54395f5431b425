// An EwDriverSink that records every delivered driver event as a line of text
// ("input 3 1", "barcode ABC"), for driver-layer tests without the GUI.
#pragma once

#include "ew_driver.h"

#include <string>
#include <vector>

class RecordingSink : public EwDriverSink {
public:
    std::vector<std::string> events;
    int32_t currTdx = -1;

    // Delivers everything queued so far (EwDriver_ProcessData) and returns the new lines.
    std::vector<std::string> drain();
    // Lines (so far) that begin with `prefix`.
    std::vector<std::string> with(const std::string& prefix) const;
    // Polls the queue until a line beginning with `prefix` arrives or `ms` pass.
    bool waitFor(const std::string& prefix, int ms);

    void UpdateDiscotools() override { add("update_discotools"); }
    void UpdateRegtools(int32_t tdx, int32_t state) override { add("update_regtools", tdx, state); }
    void UpdateCurrTdx(int32_t tdx) override { currTdx = tdx; add("update_curr_tdx", tdx); }
    void TriggerGraphEvent(int32_t tdx) override { add("trigger", tdx); }
    void TriggerFastenEvent(int32_t tdx) override { add("fastening", tdx); }
    void TriggerInput(int32_t port, int32_t value) override { add("input", port, value); }
    void TriggerDrvsUpdate() override { add("update_drvs"); }
    void TriggerBcode(const char* text) override { events.push_back(std::string("barcode ") + text); }
    void TriggerEwDebug(const char* text) override { events.push_back(std::string("debug ") + text); }
    void TriggerEwInitDone() override { add("init_done"); }
    void TriggerImgTooLarge(int32_t w, int32_t h) override { add("image too large", w, h); }
    void TriggerWlanScanEvent(int32_t s) override { add("wlan scan", s); }
    void TriggerWithJobDisconnFlagSet(int32_t tdx, int32_t f) override { add("disconn flag", tdx, f); }
    void TriggerTTY(int32_t c) override { add("tty", c); }
    void TriggerProcessing(int32_t d) override { add("processing", d); }
    void TriggerBstHotplug(int32_t p) override { add("bst_hotplug", p); }
    void TriggerBstEvent(int32_t m, int32_t p, int32_t a, int32_t o) override { add("bst_event", m, p, a, o); }
    void TriggerBstCommFail(int32_t f) override { add("bst_commfail", f); }
    void TriggerUpdateDevs() override { add("update_devs"); }

private:
    template <typename... T> void add(const char* name, T... v) {
        std::string s = name;
        ((s += " " + std::to_string(v)), ...);
        events.push_back(s);
    }
};
