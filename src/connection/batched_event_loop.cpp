// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "connection/batched_event_loop.h"

#include <boost/asio/io_context.hpp>

namespace pemra {

BatchedEventLoop::BatchedEventLoop(boost::asio::io_context& io, std::chrono::microseconds pause)
    : io_(io), pause_(pause) {}

void BatchedEventLoop::run() {
    // run_one sleeps until a handler is ready and returns 0 once stopped.
    while (io_.run_one() > 0) {
        wakes_.fetch_add(1, std::memory_order_relaxed);
        const std::size_t served = 1 + io_.poll();
        if (served >= kBusyHandlers && pause_.count() > 0) pause();
    }
}

void BatchedEventLoop::pause() {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!pausing_allowed_) return;
    pauses_.fetch_add(1, std::memory_order_relaxed);
    wakeup_.wait_for(lock, pause_, [this] { return !pausing_allowed_; });
}

void BatchedEventLoop::stop_pausing() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pausing_allowed_ = false;
    }
    wakeup_.notify_all();
}

}  // namespace pemra
