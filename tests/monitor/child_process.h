// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A program run by a test, with its output captured through pipes (or its
// standard output on a pseudo-terminal). Every wait has a deadline, and the
// destructor kills and reaps a child that is still there, so a failing test
// never leaves a process behind or hangs on one.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace monitor_test {

class ChildProcess {
public:
    enum class StdoutOn { pipe, terminal };

    // Starts argv[0] with standard input from /dev/null. Throws on failure.
    explicit ChildProcess(const std::vector<std::string>& argv, StdoutOn stdout_on = StdoutOn::pipe);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Reads output until pred holds over standard output so far; false when
    // the timeout passes or the output ends first.
    bool wait_for_stdout(const std::function<bool(const std::string&)>& pred, std::chrono::milliseconds timeout);
    // Reads all output and reaps the child: its exit code (128 + signal when
    // killed by one), or nothing when it was still running at the deadline;
    // it is then killed.
    std::optional<int> wait_exit(std::chrono::milliseconds timeout);
    void send_signal(int signal_number);

    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

private:
    // Waits up to timeout_ms for output and reads what there is.
    void pump(int timeout_ms);
    bool output_open() const { return out_fd_ >= 0 || err_fd_ >= 0; }
    void kill_and_reap();

    pid_t pid_ = -1;
    bool reaped_ = false;
    int exit_code_ = -1;
    int out_fd_ = -1;
    int err_fd_ = -1;
    std::string out_;
    std::string err_;
};

struct RunResult {
    std::optional<int> exit_code;  // nothing: it had to be killed
    std::string out;
    std::string err;
};

// Runs the monitor built with the tests to its end, with the plug-in's log
// kept in the test's temporary folder.
RunResult run_monitor(const std::vector<std::string>& args,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30));
// The command line run_monitor uses, for tests that drive the process.
std::vector<std::string> monitor_command(const std::vector<std::string>& args);

}  // namespace monitor_test
