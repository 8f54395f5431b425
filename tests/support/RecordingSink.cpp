#include "RecordingSink.h"

#include <chrono>
#include <thread>

std::vector<std::string> RecordingSink::drain() {
    size_t before = events.size();
    EwDriver_ProcessData();
    return std::vector<std::string>(events.begin() + long(before), events.end());
}

std::vector<std::string> RecordingSink::with(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
}

bool RecordingSink::waitFor(const std::string& prefix, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    size_t seen = 0;
    for (;;) {
        drain();
        for (; seen < events.size(); ++seen)
            if (events[seen].rfind(prefix, 0) == 0) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}
