// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "stop_signal.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace monitor {
namespace {

std::atomic<bool> g_stop{false};
std::atomic<int> g_wake_fd{-1};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free,
              "used from a signal handler");

extern "C" void on_stop_signal(int) {
    const int saved_errno = errno;
    g_stop.store(true);
    const int fd = g_wake_fd.load();
    if (fd >= 0) {
        const char byte = 's';
        [[maybe_unused]] const auto written = write(fd, &byte, 1);
    }
    errno = saved_errno;
}

}  // namespace

StopSignals::StopSignals(int wake_fd) {
    g_wake_fd.store(wake_fd);
    struct sigaction action {};
    action.sa_handler = on_stop_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals() { g_wake_fd.store(-1); }

bool stop_requested() { return g_stop.load(); }

}  // namespace monitor
