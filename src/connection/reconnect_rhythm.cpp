// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "connection/reconnect_rhythm.h"

#include <utility>

#include <boost/asio/io_context.hpp>
#include <boost/asio/steady_timer.hpp>

namespace pemra {

struct ReconnectRhythm::Timer {
    explicit Timer(boost::asio::io_context& io) : timer(io) {}
    boost::asio::steady_timer timer;
};

ReconnectRhythm::ReconnectRhythm(const QuickRetryTiming& timing, std::uint32_t seed)
    : timing_(timing), jitter_(seed == 0 ? 1 : seed) {}

ReconnectRhythm::~ReconnectRhythm() = default;

void ReconnectRhythm::restart() { window_start_.reset(); }

std::optional<std::chrono::milliseconds> ReconnectRhythm::next_delay(Clock::time_point now, bool was_open) {
    const bool window_over = window_start_ && now - *window_start_ >= timing_.window;
    if (!window_start_ || (was_open && window_over)) {
        window_start_ = now;
        return jittered(timing_.first);
    }
    if (window_over) return std::nullopt;
    return jittered(timing_.interval);
}

std::chrono::milliseconds ReconnectRhythm::jittered(std::chrono::milliseconds base) {
    // Uniform in [0.8, 1.2] of the base delay.
    std::uniform_real_distribution<double> factor(0.8, 1.2);
    return std::chrono::milliseconds(static_cast<std::int64_t>(static_cast<double>(base.count()) * factor(jitter_)));
}

void ReconnectRhythm::arm(boost::asio::io_context& io, std::chrono::milliseconds delay, std::function<void()> fire) {
    if (!timer_) timer_ = std::make_unique<Timer>(io);
    // Re-arming cancels a wait still pending: its handler sees operation_aborted.
    timer_->timer.expires_after(delay);
    timer_->timer.async_wait([fire = std::move(fire)](const boost::system::error_code& ec) {
        if (!ec) fire();
    });
}

}  // namespace pemra
