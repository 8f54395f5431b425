// Rows, a cursor and a watch, as the result store keeps them, for the plant links' tests:
// each link takes the calls it needs from ops().
#pragma once

#include "resultstore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

struct FakeResultStore {
    std::mutex lock;
    std::vector<StoredResult> rows;
    int64_t cursor = 0;
    std::function<void(int64_t)> watcher;
    StoredResult base; // what every added row holds besides its id and torque
    std::string peer;  // when set, every acknowledgement names it and moves the cursor on

    // A result logged: torque id * 100 + 1, the watch woken.
    void add(int64_t id) {
        StoredResult r = base;
        r.id = id;
        r.torque = int(id * 100 + 1);
        std::function<void(int64_t)> w;
        {
            std::lock_guard<std::mutex> g(lock);
            rows.push_back(r);
            w = watcher;
        }
        if (w) w(id);
    }
    int64_t acked() {
        std::lock_guard<std::mutex> g(lock);
        return cursor;
    }
    template <class Ops> Ops ops() {
        Ops s;
        s.read = [this](int64_t after, size_t max, std::vector<StoredResult>* out) {
            std::lock_guard<std::mutex> g(lock);
            for (const StoredResult& r : rows)
                if (r.id > after && out->size() < max) out->push_back(r);
            return int(out->size());
        };
        s.cursor = [this](const char*) { return acked(); };
        s.ack = [this](const char* by, int64_t id) {
            std::lock_guard<std::mutex> g(lock);
            if (!peer.empty()) {
                EXPECT_EQ(by, peer);
                EXPECT_GT(id, cursor); // never back, never twice
            }
            cursor = std::max(cursor, id);
            return 0;
        };
        s.watch = [this](std::function<void(int64_t)> fn) {
            std::lock_guard<std::mutex> g(lock);
            watcher = std::move(fn);
            return 1;
        };
        s.unwatch = [this](int) {
            std::lock_guard<std::mutex> g(lock);
            watcher = nullptr;
        };
        return s;
    }
};
