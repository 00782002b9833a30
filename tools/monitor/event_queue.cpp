// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "event_queue.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

namespace monitor {

const char* event_name(EventKind kind) {
    switch (kind) {
        case EventKind::status: return "status";
        case EventKind::file_list: return "file_list";
        case EventKind::file_meta: return "file_meta";
        case EventKind::history: return "history";
        case EventKind::error: return "error";
        case EventKind::file_changed: return "file_changed";
        case EventKind::history_changed: return "history_changed";
    }
    return "unknown";
}

EventQueue::EventQueue() {
    // Non-blocking both ends: a full pipe already means "wake up", so a
    // writer never has to wait, and draining stops when it is empty.
    if (pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
}

EventQueue::~EventQueue() {
    close(pipe_[0]);
    close(pipe_[1]);
}

void EventQueue::push(Event event) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    const char byte = 'e';
    [[maybe_unused]] const auto written = write(pipe_[1], &byte, 1);
}

std::vector<Event> EventQueue::take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<Event> out(std::make_move_iterator(events_.begin()), std::make_move_iterator(events_.end()));
    events_.clear();
    return out;
}

void EventQueue::wait(std::chrono::steady_clock::time_point deadline) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!events_.empty()) return;
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    const int timeout_ms = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60000));
    pollfd fd{pipe_[0], POLLIN, 0};
    if (poll(&fd, 1, timeout_ms) > 0) {
        char drain[256];
        while (read(pipe_[0], drain, sizeof drain) > 0) {
        }
    }
}

}  // namespace monitor
