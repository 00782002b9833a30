// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "options.h"

#include <sstream>
#include <stdexcept>

#include "option_values.h"

namespace farm {
namespace {

std::vector<int> to_counts(const std::string& text) {
    std::vector<int> counts;
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) counts.push_back(to_int("--counts", item, 1, 5000));
    if (counts.empty()) throw std::invalid_argument("--counts: no printer count given");
    return counts;
}

std::string shortest(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

}  // namespace

Options parse_options(int argc, char** argv) {
    Options o;
#ifdef PEMRA_FARM_SIMULATOR
    o.simulator = PEMRA_FARM_SIMULATOR;
#endif
#ifdef PEMRA_FARM_PLUGIN
    o.plugin = PEMRA_FARM_PLUGIN;
#endif
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--quick") {
            o.counts = {10, 100};
            o.window_s = 5;
        } else if (arg == "--counts") {
            o.counts = to_counts(value());
        } else if (arg == "--window") {
            o.window_s = to_number(arg, value());
            if (o.window_s <= 0) throw std::invalid_argument("--window must be positive");
        } else if (arg == "--settle") {
            o.settle_s = to_number(arg, value());
            if (o.settle_s < 0) throw std::invalid_argument("--settle must not be negative");
        } else if (arg == "--timeout") {
            o.timeout_s = to_number(arg, value());
            if (o.timeout_s <= 0) throw std::invalid_argument("--timeout must be positive");
        } else if (arg == "--storm-lead") {
            o.storm_lead_s = to_number(arg, value());
            // -1 is how the parent hands on "not aligned".
            const bool aligned = o.storm_lead_s >= 0 && o.storm_lead_s < 10;
            if (!aligned && o.storm_lead_s != -1) throw std::invalid_argument("--storm-lead: from 0 to under 10");
        } else if (arg == "--pin") {
            o.pin = true;
        } else if (arg == "--printing") {
            o.printing = value();
        } else if (arg == "--log-level") {
            o.log_level = to_int(arg, value(), 0, 5);
        } else if (arg == "--log-dir") {
            o.log_dir = value();
        } else if (arg == "--csv") {
            o.csv_path = value();
        } else if (arg.compare(0, 16, "--simulator-arg=") == 0) {
            o.simulator_args.push_back(arg.substr(16));
        } else if (arg == "--simulator-arg") {
            o.simulator_args.push_back(value());
        } else if (arg == "--samples") {
            o.samples_prefix = value();
        } else if (arg == "--simulator") {
            o.simulator = value();
        } else if (arg == "--plugin") {
            o.plugin = value();
        } else if (arg == "--run-one") {
            o.run_one = to_int(arg, value(), 1, 5000);
        } else if (arg == "--result-fd") {
            o.result_fd = to_int(arg, value(), 0, 1 << 20);
        } else {
            throw std::invalid_argument("unknown option " + arg + " (see --help)");
        }
    }
    return o;
}

std::string usage() {
    return R"(Usage: pemra-farm-bench [options]

Loads the plug-in like a host, connects it to a farm of simulated printers
served by pemra-printer-sim in another process, and measures, for each farm
size: the time until all printers are open and subscribed, the host's CPU
while they stream status, resident memory per printer, the latency from a
printer sending a status frame to the host's callback, the time until all
are back after every printer restarts at once, and the time to destroy the
agent. Each size runs in a fresh process with a fresh agent and simulator.
Progress goes to stderr, the table to stdout, the figures also to a CSV file.

  --counts N,N,...   farm sizes (default 10,100,1000)
  --window S         steady-streaming window in seconds (default 20)
  --quick            sizes 10,100 with a 5 s window: a smoke run
  --settle S         pause before the window and before destroy (default 2)
  --timeout S        longest wait for all printers to come up (default 60)
  --storm-lead S     start the storm S seconds before the plug-in's next
                     liveness pass (reckoned from the agent's start; default:
                     right after the window, wherever that falls in the cycle)
  --pin              run the host on CPU 0 and the simulator on CPU 1, so that
                     the network thread never waits behind the simulator
  --printing K       printers that print all the time (default 25%)
  --log-level L      the plug-in's log level, 0-5 (default 3, info)
  --log-dir DIR      keep the plug-in's log under DIR/log (default: a
                     temporary folder, removed afterwards)
  --csv FILE         CSV output (default farm_bench.csv)
  --samples PREFIX   also write every latency sample of the window (printer,
                     send stamp, callback time) to PREFIX-N.csv
  --simulator PATH   the printer simulator (default: the one built with this)
  --simulator-arg A  one more argument for the simulator (repeatable), e.g.
                     --simulator-arg --no-proc-stats
  --plugin PATH      the plug-in library (default: the one built with this)
  --help             this text
)";
}

std::vector<std::string> child_arguments(const Options& o, int count, int result_fd) {
    std::vector<std::string> args = {
        "--run-one",    std::to_string(count),       "--result-fd", std::to_string(result_fd),
        "--window",     shortest(o.window_s),        "--settle",    shortest(o.settle_s),
        "--timeout",    shortest(o.timeout_s),
        "--storm-lead", shortest(o.storm_lead_s),    "--printing",  o.printing,
        "--log-level",  std::to_string(o.log_level), "--simulator", o.simulator,
        "--plugin",     o.plugin,
    };
    if (o.pin) args.push_back("--pin");
    for (const auto& extra : o.simulator_args) {
        // "=" form: a value that starts with "--" would read as an option.
        args.push_back("--simulator-arg=" + extra);
    }
    if (!o.samples_prefix.empty()) {
        args.push_back("--samples");
        args.push_back(o.samples_prefix);
    }
    if (!o.log_dir.empty()) {
        args.push_back("--log-dir");
        args.push_back(o.log_dir);
    }
    return args;
}

}  // namespace farm
