// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The benchmark's command line. The same options are handed on to the
// process that measures one farm size.

#include <string>
#include <vector>

namespace farm {

struct Options {
    std::vector<int> counts{10, 100, 1000};
    double window_s = 20;
    double settle_s = 2;
    double timeout_s = 60;
    double storm_lead_s = -1;  // negative: the storm follows the window at once
    bool pin = false;  // host on CPU 0, simulator on CPU 1
    std::string printing = "25%";
    int log_level = 3;
    std::string log_dir;  // empty: a temporary folder, removed afterwards
    std::string csv_path = "farm_bench.csv";
    std::vector<std::string> simulator_args;  // passed on unchanged, for experiments
    std::string samples_prefix;  // non-empty: every latency sample to PREFIX-N.csv
    std::string simulator;
    std::string plugin;
    bool help = false;

    // Set only in the process that measures one farm.
    int run_one = 0;
    int result_fd = -1;
};

// Throws std::invalid_argument with a message fit for the user.
Options parse_options(int argc, char** argv);
std::string usage();
// The options of a measuring process for one farm size.
std::vector<std::string> child_arguments(const Options& options, int count, int result_fd);

}  // namespace farm
