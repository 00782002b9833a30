// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <chrono>

namespace pemra {

// The agent's fixed timing. The exports always use the product values;
// tests construct agents with shorter ones to run liveness in milliseconds.
struct Timings {
    std::chrono::milliseconds check_interval{10000};     // liveness pass
    std::chrono::milliseconds open_handshake_timeout{10000};
    std::chrono::milliseconds pong_timeout{10000};
    std::chrono::milliseconds queue_wait{30000};         // full or empty queue
    // Quick reconnection after a printer went away on its own: the first
    // attempt after about half a second, then about one a second (each
    // delay jittered by up to a fifth), for this long after the drop; then
    // only the liveness pass tries again.
    std::chrono::milliseconds quick_retry_first{500};
    std::chrono::milliseconds quick_retry_interval{1000};
    std::chrono::milliseconds quick_retry_window{30000};
};

}  // namespace pemra
