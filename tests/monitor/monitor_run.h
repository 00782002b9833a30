// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The monitor built with the tests, run as a child process.

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "testkit/child_process.h"

namespace monitor_test {

using testkit::ChildProcess;

struct RunResult {
    std::optional<int> exit_code;  // nothing: it had to be killed
    std::string out;
    std::string err;
};

// Runs the monitor to its end, with the plug-in's log kept in the test's
// own temporary folder.
RunResult run_monitor(const std::vector<std::string>& args,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30));
// The command line run_monitor uses, for tests that drive the process.
std::vector<std::string> monitor_command(const std::vector<std::string>& args);

}  // namespace monitor_test
