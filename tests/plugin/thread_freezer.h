// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Holds one named thread of this process where it is: a signal is sent to
// that thread alone, and its handler waits until released. A stand-in for a
// thread that falls behind, from outside the code under test. One at a time.

#include <dirent.h>
#include <signal.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace test_host {

namespace freezer_detail {
inline std::atomic<bool> hold{false};
inline std::atomic<bool> held{false};

// Only async-signal-safe calls: atomics and nanosleep.
inline void hold_here(int) {
    held.store(true);
    while (hold.load()) {
        const timespec pause{0, 200000};
        nanosleep(&pause, nullptr);
    }
    held.store(false);
}

// The id of this process's thread named `name` (as in /proc/self/task/*/comm), or 0.
inline pid_t thread_named(const std::string& name) {
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) return 0;
    pid_t found = 0;
    while (dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] == '.') continue;
        std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
        std::string line;
        if (std::getline(comm, line) && line == name) found = static_cast<pid_t>(std::stol(entry->d_name));
    }
    closedir(tasks);
    return found;
}
}  // namespace freezer_detail

class ThreadFreezer {
public:
    // Holds the thread; true once its handler runs. False when there is no
    // such thread or it did not stop within the timeout (it is then let go).
    bool freeze(const std::string& name, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
        const pid_t tid = freezer_detail::thread_named(name);
        if (tid == 0) return false;
        struct sigaction action {};
        action.sa_handler = freezer_detail::hold_here;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (sigaction(SIGUSR2, &action, nullptr) != 0) return false;
        freezer_detail::hold.store(true);
        if (syscall(SYS_tgkill, getpid(), tid, SIGUSR2) != 0) {
            freezer_detail::hold.store(false);
            return false;
        }
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!freezer_detail::held.load()) {
            if (std::chrono::steady_clock::now() > deadline) {
                release();
                return false;
            }
            std::this_thread::yield();
        }
        return true;
    }
    // Lets the thread go and waits until it has left the handler, so that
    // the next freeze cannot take this one's hold for its own.
    void release() {
        freezer_detail::hold.store(false);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (freezer_detail::held.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    }
    ~ThreadFreezer() { release(); }
};

}  // namespace test_host
