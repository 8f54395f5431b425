// The result-taking half shared by the ports of the operation screen without a job and of
// the editor screens: records every call as one short line, answers from its fields.
#pragma once

#include "page/operation/ResultsPort.h"

#include <cstring>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace results_test {

using Lines = std::vector<std::string>;

inline FastenResult result(int status, const char* barcode = "") {
    FastenResult r;
    r.Status = uint16_t(status);
    strncpy(r.Barcode, barcode, sizeof r.Barcode - 1);
    return r;
}

struct RecordingResults : virtual ResultsPort {
    bool manager = false;
    int barcodeIf = 0;
    std::vector<int> states{3, 3};
    std::vector<int> pending{0, 0};
    std::map<int, std::deque<FastenResult>> results;
    bool logFails = false;
    std::string moved;
    bool storedOpen = false;
    Lines lines;

    void rec(const std::string& l) { lines.push_back(l); }
    static std::string n(int v) { return std::to_string(v); }

    bool BackupManager() override { return manager; }
    int BarcodeInterface() override { return barcodeIf; }
    int ToolCount() override { return int(states.size()); }
    int ToolState(int t) override { return states.at(size_t(t)); }
    int32_t GetNoPendingEvent(int32_t t) override { return pending.at(size_t(t)); }
    void WriteRegister(int t, int reg, int v) override { rec(n(t) + ":" + n(reg) + "=" + n(v)); }
    void EnableDataBackup(int t, int skip) override { rec(n(t) + ":events=" + n(skip)); }
    void DisableDataBackup(int t) override { rec(n(t) + ":events off"); }
    void AckResend(int t) override { rec(n(t) + ":ack again"); }
    bool ReadResult(int t, FastenResult* out) override {
        auto& q = results[t];
        if (q.empty()) return false;
        *out = q.front();
        q.pop_front();
        return true;
    }
    std::string CheckLogLocation() override { return moved; }
    int LogAndAcknowledge(int t, const FastenResult& r, int src) override {
        rec(n(t) + ":log+ack status " + n(r.Status) + " source " + n(src));
        return logFails ? -1 : 0;
    }
    void Message(const std::string& title, const std::string& text) override {
        rec(title + ": " + text);
    }
    bool StoredOpen() override { return storedOpen; }
    void StoredShow() override {
        storedOpen = true;
        rec("stored open");
    }
    void StoredRefresh(int t) override { rec("stored refresh " + n(t)); }
    void StoredProgress(int t, int got) override { rec("stored " + n(t) + " got " + n(got)); }
    void StoredClose() override {
        storedOpen = false;
        rec("stored close");
    }
};

// A row of an events table: the port's set-up, the events after Start, the port calls
// they must give.
template <class Run, class Port> struct EventCase {
    const char* name;
    std::function<void(Port&)> setUp;
    std::function<void(Run&, Port&)> events;
    Lines expected;
};

// Each row on a new port and run; `fromStart`: the calls Start makes are expected too.
template <class Run, class Port, size_t N>
void RunEventCases(const EventCase<Run, Port> (&cases)[N], bool fromStart) {
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Port port;
        c.setUp(port);
        Run run(port);
        run.Start();
        if (!fromStart) port.lines.clear();
        c.events(run, port);
        EXPECT_EQ(port.lines, c.expected);
    }
}

} // namespace results_test
