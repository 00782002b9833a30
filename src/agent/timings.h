// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <chrono>

#include "connection/quick_retry_timing.h"

namespace pemra {

// The agent's fixed timing. The exports always use the product values;
// tests construct agents with shorter ones to run liveness in milliseconds.
struct Timings {
    std::chrono::milliseconds check_interval{10000};     // liveness pass
    std::chrono::milliseconds open_handshake_timeout{10000};
    std::chrono::milliseconds pong_timeout{10000};
    std::chrono::milliseconds queue_wait{30000};         // full or empty queue
    QuickRetryTiming quick_retry;
};

}  // namespace pemra
