// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The command line: what to do, to which printers, and how.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace monitor {

enum class Command { watch, files, meta, history, remove, send, check, help, print, pause, resume, cancel, estop, gcode };

// The commands that act on one printer or many and succeed only when the
// printers' status shows the result.
bool is_control(Command command);

struct PrinterTarget {
    std::string id;       // the device id the plug-in reports back
    std::string address;  // "host:port"
};

struct Options {
    Command command = Command::watch;
    std::vector<PrinterTarget> printers;
    bool demo = false;  // also implied by watching no printer
    bool json = false;
    std::string plugin_path;
    std::string plugin_stdout;  // where the plug-in's traces go; empty: nowhere
    std::string log_dir;        // empty: the default of default_log_dir()
    int log_level = 3;
    std::optional<double> duration;  // seconds; watch only
    double connect_timeout = 10.0;   // seconds a command waits for the printer to come up
    double timeout = 10.0;           // seconds a command waits for its reply
    double grace = 1.0;              // seconds send waits for notices
    std::string file;                // meta, delete, print
    std::string message;             // send
    std::string script;              // gcode
    int history_start = 0;
    int history_limit = 50;
    std::string history_order = "desc";
};

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws UsageError with a one-line reason.
Options parse_options(const std::vector<std::string>& args);
// Splits and checks "ID=HOST:PORT". Throws UsageError.
PrinterTarget parse_target(const std::string& text);
std::string usage();
// $XDG_CACHE_HOME/pemra-monitor, ~/.cache/pemra-monitor, or a folder in /tmp.
std::string default_log_dir();

}  // namespace monitor
