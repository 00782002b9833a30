// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The soak's command line.

#include <string>

namespace soak {

struct Options {
    double duration_s = 3600;
    int printers = 1000;
    double chaos_s = 60;     // each printer meets a fault this often on average
    unsigned seed = 1;
    double report_s = 60;    // a progress line this often
    double settle_s = 60;    // how long the calm farm may take to be live again
    std::string printing = "25%";
    int log_level = 3;
    std::string log_dir;     // empty: a temporary folder, removed when all checks hold
    std::string simulator;
    std::string plugin;
    bool help = false;
};

// Throws std::invalid_argument with a message fit for the user.
Options parse_options(int argc, char** argv);
std::string usage();

}  // namespace soak
