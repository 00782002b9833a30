// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "connection/outbound_queue.h"

#include <utility>

namespace pemra {

OutboundQueue::OutboundQueue(std::size_t capacity, std::chrono::milliseconds wait)
    : capacity_(capacity > 0 ? capacity : 1), wait_(wait) {}

bool OutboundQueue::push(OutboundMessage message) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + wait_;
    if (!not_full_.wait_until(lock, deadline, [this] { return closed_ || !full(); })) {
        return false;
    }
    if (closed_) return false;
    items_.push_back(std::move(message));
    lock.unlock();
    not_empty_.notify_one();
    return true;
}

OutboundQueue::TryPush OutboundQueue::try_push(OutboundMessage& message) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (closed_) return TryPush::closed;
    if (full()) return TryPush::full;
    items_.push_back(std::move(message));
    lock.unlock();
    not_empty_.notify_one();
    return TryPush::accepted;
}

bool OutboundQueue::pop(OutboundMessage& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = std::chrono::steady_clock::now() + wait_;
    if (!not_empty_.wait_until(lock, deadline, [this] { return closed_ || !items_.empty(); })) {
        return false;
    }
    if (closed_) return false;
    out = std::move(items_.front());
    items_.pop_front();
    lock.unlock();
    not_full_.notify_one();
    return true;
}

void OutboundQueue::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    not_full_.notify_all();
    not_empty_.notify_all();
}

std::size_t OutboundQueue::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
}

std::deque<OutboundMessage> OutboundQueue::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_;
}

}  // namespace pemra
