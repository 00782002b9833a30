// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// When to try a printer again after its link went away without the host
// asking for it: about half a second after the drop, then about once a
// second, each delay jittered per printer so that a farm that went away
// together does not come back in lockstep. After the window the liveness
// pass alone tries again, every check interval, until the link opens or the
// host connects anew; either starts a fresh window at the next drop.
//
// Owns the one timer of a printer's quick attempts. Used on io_thread only;
// may be destroyed on any thread once nothing uses it any more.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>

#include "agent/timings.h"

namespace boost::asio {
class io_context;
}

namespace pemra {

class ReconnectRhythm {
public:
    using Clock = std::chrono::steady_clock;

    ReconnectRhythm(const Timings& timings, std::uint32_t seed);
    ~ReconnectRhythm();
    ReconnectRhythm(const ReconnectRhythm&) = delete;
    ReconnectRhythm& operator=(const ReconnectRhythm&) = delete;

    // The link opened, or the host connected: the next drop opens a new window.
    void restart();
    // A drop or a failed attempt at `now`: the delay before the next quick
    // attempt, or nothing when this window is over.
    std::optional<std::chrono::milliseconds> next_delay(Clock::time_point now);

    // Runs `fire` on `io` after `delay`, replacing an earlier wait that has
    // not fired yet. `fire` must not own what owns this rhythm.
    void arm(boost::asio::io_context& io, std::chrono::milliseconds delay, std::function<void()> fire);
    void cancel();

private:
    struct Timer;

    std::chrono::milliseconds jittered(std::chrono::milliseconds base);

    const std::chrono::milliseconds first_;
    const std::chrono::milliseconds interval_;
    const std::chrono::milliseconds window_;
    std::optional<Clock::time_point> window_start_;
    std::minstd_rand jitter_;
    std::unique_ptr<Timer> timer_;
};

}  // namespace pemra
