// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// pemra-farm-soak: the plug-in loaded like a host, against a farm of
// simulated printers that fail at random, for an hour. See --help.

#include <unistd.h>

#include <cstdio>
#include <exception>

#include "process_stats.h"
#include "soak_options.h"
#include "soak_run.h"

int main(int argc, char** argv) {
    soak::Options options;
    try {
        options = soak::parse_options(argc, argv);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pemra-farm-soak: %s\n", error.what());
        return soak::kUsage;
    }
    if (options.help) {
        std::fputs(soak::usage().c_str(), stdout);
        return 0;
    }
    // The plug-in traces to standard output; the soak's own lines go to a
    // private copy of it.
    std::fflush(stdout);
    const int out_fd = farm::silence_stdout();
    std::FILE* out = out_fd >= 0 ? fdopen(out_fd, "w") : stderr;
    try {
        const int status = soak::run_soak(options, out);
        std::fflush(out);
        return status;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pemra-farm-soak: %s\n", error.what());
        return soak::kCheckFailed;
    }
}
