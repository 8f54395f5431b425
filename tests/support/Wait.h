// Waiting in tests: a test waits for the condition it checks, never for a time. The
// deadline only bounds the wait, so it is generous; a loaded machine just waits longer.
#pragma once

#include <chrono>
#include <thread>

namespace kest_test {

// Long enough for a machine running two busy processes beside the suite.
constexpr std::chrono::milliseconds kWaitLimit{20000};

// Checks `pred` until it holds or `limit` passes; true when it held.
template <class Pred> bool WaitUntil(Pred&& pred, std::chrono::milliseconds limit = kWaitLimit) {
    auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (pred()) return true;
        if (std::chrono::steady_clock::now() >= end) return pred();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

} // namespace kest_test
