// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How many messages the send thread has handed to io_thread that io_thread
// has not written yet. The send thread takes a slot before each hand-over
// and waits while none is free; io_thread gives it back once the message is
// written (or dropped). So when io_thread falls behind, the send thread
// stops, the outbound queue fills, and the host's send waits, as the queue
// promises, instead of the hand-overs piling up without limit.
//
// Any thread. close() wakes a waiting send thread for good.

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace pemra {

class HandOverLimit {
public:
    explicit HandOverLimit(std::size_t limit) : limit_(limit > 0 ? limit : 1) {}

    // Waits for a free slot and takes it; false once closed (no slot taken).
    bool acquire() {
        std::unique_lock<std::mutex> lock(mutex_);
        free_.wait(lock, [this] { return closed_ || in_flight_ < limit_; });
        if (closed_) return false;
        ++in_flight_;
        return true;
    }
    void release() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (in_flight_ > 0) --in_flight_;
        }
        free_.notify_one();
    }
    void close() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ = true;
        }
        free_.notify_all();
    }
    std::size_t in_flight() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return in_flight_;
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable free_;
    const std::size_t limit_;
    std::size_t in_flight_ = 0;  // guarded by mutex_
    bool closed_ = false;        // guarded by mutex_
};

}  // namespace pemra
