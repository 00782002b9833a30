// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Hands events from the plug-in's network thread to the main thread.
//
// Callbacks must return promptly (a slow one holds up every printer), so they
// only queue a copy. The main thread sleeps in poll() on a self-pipe that
// both a new event and a stop signal write to: one wake-up path for both,
// and the only thing a signal handler has to do is write a byte.

#include <chrono>
#include <deque>
#include <mutex>
#include <vector>

#include "event.h"

namespace monitor {

class EventQueue {
public:
    EventQueue();  // throws std::runtime_error when no pipe can be made
    ~EventQueue();
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    // Any thread.
    void push(Event event);
    // Everything queued so far, oldest first.
    std::vector<Event> take();
    // Sleeps until something is queued, the wake descriptor is written to,
    // or the deadline passes.
    void wait(std::chrono::steady_clock::time_point deadline);
    // For a signal handler: writing one byte here ends a wait.
    int wake_fd() const { return pipe_[1]; }

private:
    int pipe_[2] = {-1, -1};
    std::mutex mutex_;
    std::deque<Event> events_;  // guarded by mutex_
};

}  // namespace monitor
