// An EwDriverSink for the tool-link tests: records the tool events (registry changes,
// current tool, curves, results, disconnect flags) as kind and two numbers.
#pragma once

#include "ew_driver.h"

#include <ostream>
#include <string>
#include <vector>

namespace kest_test {

struct ToolEvent {
    std::string kind;
    int a = 0, b = 0;
    bool operator==(const ToolEvent& o) const { return kind == o.kind && a == o.a && b == o.b; }
};
inline std::ostream& operator<<(std::ostream& os, const ToolEvent& e) {
    return os << e.kind << "(" << e.a << "," << e.b << ")";
}

class ToolEventSink : public EwDriverSink {
  public:
    std::vector<ToolEvent> events;
    void UpdateDiscotools() override { events.push_back({"discotools"}); }
    void UpdateRegtools(int32_t t, int32_t s) override { events.push_back({"regtools", t, s}); }
    void UpdateCurrTdx(int32_t t) override { events.push_back({"curr_tdx", t}); }
    void TriggerGraphEvent(int32_t t) override { events.push_back({"graph", t}); }
    void TriggerFastenEvent(int32_t t) override { events.push_back({"fastening", t}); }
    void TriggerInput(int32_t, int32_t) override {}
    void TriggerDrvsUpdate() override {}
    void TriggerBcode(const char*) override {}
    void TriggerEwDebug(const char*) override {}
    void TriggerEwInitDone() override {}
    void TriggerImgTooLarge(int32_t, int32_t) override {}
    void TriggerWlanScanEvent(int32_t) override {}
    void TriggerWithJobDisconnFlagSet(int32_t t, int32_t f) override {
        events.push_back({"disconn", t, f});
    }
    void TriggerTTY(int32_t) override {}
    void TriggerProcessing(int32_t) override {}
    void TriggerBstHotplug(int32_t) override {}
    void TriggerBstEvent(int32_t, int32_t, int32_t, int32_t) override {}
    void TriggerBstCommFail(int32_t) override {}
    void TriggerUpdateDevs() override {}
};

} // namespace kest_test
