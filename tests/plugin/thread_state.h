// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Whether a thread of this process sleeps in the kernel (on a lock, a
// condition, I/O), read from /proc: the barrier for "that thread now waits",
// where a fixed sleep could only hope so.

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

namespace test_host {

inline pid_t current_thread_id() { return static_cast<pid_t>(syscall(SYS_gettid)); }

// The state letter of /proc/self/task/<tid>/stat ('R' running, 'S' asleep,
// ...), or 0 when the thread is gone.
inline char thread_state(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string text;
    std::getline(stat, text);
    // "tid (name) S ...": the name may hold spaces and parentheses.
    const auto close = text.rfind(')');
    return close == std::string::npos || close + 2 >= text.size() ? 0 : text[close + 2];
}

// Waits until the thread sleeps; false at the timeout or when it is gone.
inline bool wait_asleep(pid_t tid, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        const char state = thread_state(tid);
        if (state == 'S' || state == 'D') return true;
        if (state == 0 || std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
}

}  // namespace test_host
