// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "connection/quick_retry_timing.h"

namespace pemra {

// The agent's fixed timing. The exports always use the product values;
// tests construct agents with shorter ones to run liveness in milliseconds.
struct Timings {
    std::chrono::milliseconds check_interval{10000};     // liveness pass
    std::chrono::milliseconds open_handshake_timeout{10000};
    std::chrono::milliseconds pong_timeout{10000};
    std::chrono::milliseconds queue_wait{30000};         // full or empty queue
    std::chrono::milliseconds name_lookup_timeout{5000};  // one printer's name lookup
    std::chrono::microseconds batch_pause{5000};         // frames gather after a busy wake
    QuickRetryTiming quick_retry;

    // Test seams, never set by the exports. `pause_point` runs on io_thread
    // at a few named points of a connection's life, where a test may hold
    // that thread; `lookup_held` keeps the lookup of a name running for as
    // long as it returns true, as a name a slow resolver answers late.
    std::function<void(const char* point)> pause_point;
    std::function<bool(const std::string& host)> lookup_held;
};

}  // namespace pemra
