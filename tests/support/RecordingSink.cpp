#include "RecordingSink.h"

#include <algorithm>
#include <chrono>
#include <poll.h>

std::vector<std::string> RecordingSink::drain() {
    EwDriver_ProcessData();
    const size_t from = std::min(drained_, events.size());
    drained_ = events.size();
    return std::vector<std::string>(events.begin() + long(from), events.end());
}

std::vector<std::string> RecordingSink::with(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events)
        if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
}

bool RecordingSink::waitUntil(const std::function<bool()>& cond, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        EwDriver_ProcessData(); // re-arms the eventfd before it delivers
        if (cond()) return true;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) return false;
        pollfd p{EwDriver_GetWakeFd(), POLLIN, 0};
        poll(&p, p.fd >= 0 ? 1 : 0, int(left));
    }
}

bool RecordingSink::waitFor(const std::string& prefix, int ms) {
    return waitUntil([&] { return count(prefix) > 0; }, ms);
}

bool RecordingSink::next(const std::string& prefix, int ms) {
    return waitUntil(
        [&] {
            for (size_t i = std::min(taken_, events.size()); i < events.size(); i++)
                if (events[i].rfind(prefix, 0) == 0) {
                    taken_ = i + 1;
                    return true;
                }
            return false;
        },
        ms);
}
