// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// pemra-farm-bench: one agent of the plug-in against farms of simulated
// printers, one fresh process per farm size. See docs/farm_bench.md.

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "child_runner.h"
#include "farm_result.h"
#include "farm_run.h"
#include "options.h"
#include "process_stats.h"
#include "report.h"

namespace {

// The measuring process: figures go to the parent through result_fd; fd 1
// is the plug-in's trace sink and points at /dev/null.
int measure_one(const farm::Options& options) {
    farm::silence_stdout();
    try {
        const farm::FarmResult result = farm::run_farm(options, options.run_one);
        const std::string text = farm::serialise(result);
        std::size_t written = 0;
        while (written < text.size()) {
            const ssize_t n = write(options.result_fd, text.data() + written, text.size() - written);
            if (n <= 0) return 1;
            written += static_cast<std::size_t>(n);
        }
        close(options.result_fd);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pemra-farm-bench: %s\n", error.what());
        return 1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    farm::Options options;
    try {
        options = farm::parse_options(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pemra-farm-bench: %s\n", error.what());
        return 2;
    }
    if (options.help) {
        std::fputs(farm::usage().c_str(), stdout);
        return 0;
    }
    if (options.run_one > 0) return measure_one(options);

    farm::raise_file_limit();
    std::vector<farm::FarmResult> results;
    bool all_ran = true;
    for (int printers : options.counts) {
        std::fprintf(stderr, "pemra-farm-bench: %d printer%s\n", printers, printers == 1 ? "" : "s");
        if (auto result = farm::run_in_child(options, printers)) {
            results.push_back(*result);
        } else {
            all_ran = false;
        }
    }
    farm::print_table(stdout, results, options.window_s, options.pin);
    if (!farm::write_csv(options.csv_path, results)) {
        std::fprintf(stderr, "pemra-farm-bench: cannot write %s\n", options.csv_path.c_str());
        return 1;
    }
    std::printf("\nfigures written to %s\n", options.csv_path.c_str());
    return all_ran ? 0 : 1;
}
