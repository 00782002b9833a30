// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The agent's bounded queue of messages for printers: many producers (host
// threads, the network thread), one consumer (the send thread).
//
// push waits while the queue is full, up to `wait` (30 s in the product) from
// the start of the call; try_push never waits and is what the network thread
// uses, so that a full queue cannot stall every printer. pop waits up to
// `wait` for a message. close wakes every waiter; from then on push and pop
// return false at once and queued messages are never delivered.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace pemra {

struct OutboundMessage {
    std::string device_id;     // empty in a connection's pending table
    std::int32_t request_id = 0;  // 0 for a raw message from the host
    std::int16_t retries = 0;  // liveness ticks since it was last sent
    bool track = false;        // remember when sent, re-send until answered
    std::string payload;       // the text frame
};

class OutboundQueue {
public:
    static constexpr std::size_t kCapacity = 1000;

    // Holds at most `capacity` messages (at least one).
    OutboundQueue(std::size_t capacity, std::chrono::milliseconds wait);

    bool push(OutboundMessage message);
    enum class TryPush { accepted, full, closed };
    // Takes the message only when it returns accepted.
    TryPush try_push(OutboundMessage& message);
    bool pop(OutboundMessage& out);
    void close();

    std::size_t size() const;
    // A copy of the queued messages, oldest first (for tests and diagnostics).
    std::deque<OutboundMessage> snapshot() const;

private:
    bool full() const { return items_.size() >= capacity_; }

    mutable std::mutex mutex_;
    std::deque<OutboundMessage> items_;  // guarded by mutex_
    std::condition_variable not_full_;
    std::condition_variable not_empty_;
    const std::size_t capacity_;
    const std::chrono::milliseconds wait_;
    bool closed_ = false;  // guarded by mutex_; set once, never cleared
};

}  // namespace pemra
