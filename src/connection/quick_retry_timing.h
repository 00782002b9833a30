// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

#include <chrono>

namespace pemra {

// Quick reconnection after a printer went away on its own: the first
// attempt after about `first`, then about one every `interval` (each delay
// jittered by up to a fifth), for `window` after the drop; then only the
// liveness pass tries again.
struct QuickRetryTiming {
    std::chrono::milliseconds first{500};
    std::chrono::milliseconds interval{1000};
    std::chrono::milliseconds window{30000};
};

}  // namespace pemra
