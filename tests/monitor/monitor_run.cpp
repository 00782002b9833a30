// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "monitor_run.h"

#include "testkit/scratch_dir.h"

#ifndef PEMRA_MONITOR_EXE
#error "PEMRA_MONITOR_EXE must name the built pemra-monitor"
#endif

namespace monitor_test {

std::vector<std::string> monitor_command(const std::vector<std::string>& args) {
    // One folder per test process (each test runs in one): the plug-in's
    // log files are named by the second, and tests run side by side.
    static const testkit::ScratchDir log_dir("pemra-monitor-test");
    std::vector<std::string> argv{PEMRA_MONITOR_EXE, "--log-dir", log_dir.path()};
    argv.insert(argv.end(), args.begin(), args.end());
    return argv;
}

RunResult run_monitor(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    ChildProcess child(monitor_command(args));
    RunResult result;
    result.exit_code = child.wait_exit(timeout);
    result.out = child.out();
    result.err = child.err();
    return result;
}

}  // namespace monitor_test
