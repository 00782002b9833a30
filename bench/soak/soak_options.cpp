// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "soak_options.h"

#include <stdexcept>

#include "option_values.h"

namespace soak {

std::string usage() {
    return R"(usage: pemra-farm-soak [options]

One agent of the plug-in against a farm of simulated printers that fail at
random, with a host calling exports from two threads, for a long time. Prints
progress every minute and a summary; exits 0 only when every check holds:
resident memory over the last quarter within 2% of the second quarter, no
numbered status frame lost on a live connection, every printer live with
fresh status once the faults stop, no export call and no gap between reports
longer than 1 s, destroy with every printer open under 1 s.

  --duration S     how long the faults last (default 3600)
  --printers N     farm size (default 1000)
  --chaos S        each printer meets a fault every S seconds on average (default 60)
  --seed N         seed of the faults and of the host's calls (default 1)
  --report S       progress line interval (default 60)
  --settle S       how long the farm may take to be live again after the
                   faults (default 60)
  --printing K     printers printing, a count or a share (default 25%)
  --log-level L    the plug-in's log level (default 3)
  --log-dir DIR    keep the plug-in's log there (default: a temporary
                   folder, kept only when a check fails)
  --simulator P    the printer simulator program
  --plugin P       the plug-in library
  --help           this text
)";
}

Options parse_options(int argc, char** argv) {
    Options o;
    o.simulator = PEMRA_SOAK_SIMULATOR;
    o.plugin = PEMRA_SOAK_PLUGIN;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(arg + ": needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--duration") {
            o.duration_s = farm::to_number_from(arg, value(), 1);
        } else if (arg == "--printers") {
            o.printers = farm::to_int(arg, value(), 2, 5000);
        } else if (arg == "--chaos") {
            o.chaos_s = farm::to_number_from(arg, value(), 0);
        } else if (arg == "--seed") {
            o.seed = static_cast<unsigned>(farm::to_int(arg, value(), 0, 2147483647));
        } else if (arg == "--report") {
            o.report_s = farm::to_number_from(arg, value(), 1);
        } else if (arg == "--settle") {
            o.settle_s = farm::to_number_from(arg, value(), 1);
        } else if (arg == "--printing") {
            o.printing = value();
        } else if (arg == "--log-level") {
            o.log_level = farm::to_int(arg, value(), 0, 5);
        } else if (arg == "--log-dir") {
            o.log_dir = value();
        } else if (arg == "--simulator") {
            o.simulator = value();
        } else if (arg == "--plugin") {
            o.plugin = value();
        } else {
            throw std::invalid_argument("unknown option '" + arg + "' (see --help)");
        }
    }
    return o;
}

}  // namespace soak
