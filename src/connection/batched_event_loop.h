// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Runs the network thread's event loop a batch at a time. Waking the thread
// for nearly every frame costs more than reading the frame (a context switch,
// the reactor's bookkeeping, a second receive that finds the socket empty),
// so after a wake that found the thread busy, frames are let gather for a
// short pause and then every ready handler is served in one go.
//
// An idle loop still sleeps until something happens, and its first event is
// served at once: the pause follows busy wakes only, never a quiet one. A
// frame waits at most one pause plus one batch, so the pause is chosen well
// within the latency budget from socket to host callback (10 ms). Handlers
// keep the order Asio gives them (per connection, the order of arrival).
//
// run() on the network thread; stop_pausing() from any thread.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

namespace boost::asio {
class io_context;
}

namespace pemra {

class BatchedEventLoop {
public:
    // A wake that ran at least this many handlers counts as busy: a single
    // frame's read takes fewer.
    static constexpr std::size_t kBusyHandlers = 4;

    // `pause`: how long frames may gather after a busy wake (zero: never).
    BatchedEventLoop(boost::asio::io_context& io, std::chrono::microseconds pause);

    // Serves `io` until it is stopped. An exception from a handler leaves
    // run(), which may be called again to go on.
    void run();
    // No more pauses, and one under way ends at once (the agent stops).
    void stop_pausing();

    // Wakes that ran handlers, and of those the ones followed by a pause.
    std::uint64_t wakes() const { return wakes_.load(std::memory_order_relaxed); }
    std::uint64_t pauses() const { return pauses_.load(std::memory_order_relaxed); }

private:
    void pause();

    boost::asio::io_context& io_;
    const std::chrono::microseconds pause_;
    std::mutex mutex_;
    std::condition_variable wakeup_;
    bool pausing_allowed_ = true;  // guarded by mutex_
    std::atomic<std::uint64_t> wakes_{0};
    std::atomic<std::uint64_t> pauses_{0};
};

}  // namespace pemra
