// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// When to try a printer again after its link went away without the host
// asking for it: about half a second after the drop, then about once a
// second, each delay jittered per printer so that a farm that went away
// together does not come back in lockstep. After the window the liveness
// pass alone tries again, every check interval. A link that had opened and
// drops after the window starts a fresh one, and so does a connect from the
// host; one that drops inside the window (a printer that accepts and closes
// at once) goes on at the window's pace, so it is never tried faster.
//
// Owns the one timer of a printer's quick attempts. Used on io_thread only;
// may be destroyed on any thread once nothing uses it any more.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "connection/quick_retry_timing.h"

namespace boost::asio {
class io_context;
}

namespace pemra {

class ReconnectRhythm {
public:
    using Clock = std::chrono::steady_clock;

    ReconnectRhythm(const QuickRetryTiming& timing, std::uint32_t seed);
    ~ReconnectRhythm();
    ReconnectRhythm(const ReconnectRhythm&) = delete;
    ReconnectRhythm& operator=(const ReconnectRhythm&) = delete;

    // The host connected: the next drop or failure opens a new window.
    void restart();
    // A drop (`was_open`: the link had opened) or a failed attempt at
    // `now`: the delay before the next quick attempt, or nothing when the
    // window is over.
    std::optional<std::chrono::milliseconds> next_delay(Clock::time_point now, bool was_open);

    // Runs `fire` on `io` after `delay`, replacing an earlier wait that has
    // not fired yet. `fire` must not own what owns this rhythm.
    void arm(boost::asio::io_context& io, std::chrono::milliseconds delay, std::function<void()> fire);

private:
    struct Timer;

    std::chrono::milliseconds jittered(std::chrono::milliseconds base);

    const QuickRetryTiming timing_;
    std::optional<Clock::time_point> window_start_;
    std::minstd_rand jitter_;
    std::unique_ptr<Timer> timer_;
};

}  // namespace pemra
