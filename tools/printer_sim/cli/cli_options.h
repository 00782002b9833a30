// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The command line of pemra-printer-sim, parsed into printer options and the
// farm-wide settings. Pure functions; any thread.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "printer_sim/faults.h"
#include "printer_sim/options.h"

namespace printer_sim::cli {

struct CliOptions {
    PrinterOptions printer;          // shared by every printer (the port is the first one)
    std::uint16_t first_port = 7125;  // 0: every printer on a port the system chooses
    // Every printer's port, in order; when given it replaces first_port and
    // count, so that a new simulator can take over the ports an earlier one
    // was given by the system.
    std::vector<std::uint16_t> ports;
    std::string ports_file;           // where to write the printers' addresses
    int count = 1;
    // How many printers print all the time: a count, or a share when percent is set.
    double printing = 0;
    bool printing_percent = false;
    std::string print_file;          // empty: the first file of the printer
    bool refuse = false;
    bool stall_handshake = false;
    bool no_pongs = false;
    bool unauthorized = false;
    bool no_status_updates = false;
    bool no_proc_stats = false;
    std::map<std::string, MethodFault> method_faults;
    // Random faults for every printer, one per this many seconds on
    // average (0: none), drawn from chaos_seed.
    double chaos_s = 0;
    std::uint64_t chaos_seed = 1;
    bool quiet = false;
    bool verbose = false;
    bool help = false;
};

// Throws std::invalid_argument with a message naming the bad option.
CliOptions parse_command_line(int argc, const char* const* argv);
std::string usage();
// The port printer `index` (0-based) asks for; 0: any.
std::uint16_t port_for(const CliOptions& options, int index);
// How many of `count` printers print.
int printing_count(const CliOptions& options);
// The hostname of printer `index` (0-based): "{n}" in the pattern becomes index + 1.
std::string hostname_for(const std::string& pattern, int index);

}  // namespace printer_sim::cli
