// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// pemra-printer-sim: serves a farm of simulated printers on consecutive ports
// from one io thread until SIGINT or SIGTERM.
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <fstream>
#include <string>
#include <iostream>
#include <memory>

#include "chaos.h"
#include "cli_options.h"
#include "printer_sim/printer_group.h"

namespace {

// Every printer holds a listening socket plus one per client, so a large farm
// needs more descriptors than the usual soft limit of 1024.
void raise_file_limit(bool quiet) {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
    if (limit.rlim_cur < limit.rlim_max) {
        const rlim_t before = limit.rlim_cur;
        limit.rlim_cur = limit.rlim_max;
        if (setrlimit(RLIMIT_NOFILE, &limit) == 0 && !quiet) {
            std::printf("open files: soft limit raised from %llu to %llu\n", static_cast<unsigned long long>(before),
                        static_cast<unsigned long long>(limit.rlim_cur));
        }
    }
}

const char* kinematics_name(printer_sim::Kinematics k) {
    switch (k) {
        case printer_sim::Kinematics::cartesian: return "cartesian";
        case printer_sim::Kinematics::corexy: return "corexy";
        case printer_sim::Kinematics::delta: return "delta";
    }
    return "?";
}

// Written to a temporary name and renamed, so a reader polling for the file
// never sees half of it.
bool write_ports_file(const std::string& path, printer_sim::PrinterGroup& group) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        for (std::size_t i = 0; i < group.size(); ++i) out << group.at(i).address() << "\n";
        if (!out.flush()) return false;
    }
    return std::rename(partial.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace printer_sim;
    cli::CliOptions options;
    try {
        options = cli::parse_command_line(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "pemra-printer-sim: " << error.what() << "\n";
        return 2;
    }
    if (options.help) {
        std::cout << cli::usage();
        return 0;
    }
    raise_file_limit(options.quiet);

    // Signals are taken by sigwait below, so block them before any thread starts.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);  // ends the random faults
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const int printing = cli::printing_count(options);
    PrinterGroup group;
    try {
        for (int i = 0; i < options.count; ++i) {
            PrinterOptions p = options.printer;
            p.port = cli::port_for(options, i);
            p.hostname = cli::hostname_for(options.printer.hostname, i);
            p.record_frames = false;
            if (i < printing) {
                p.autoprint_file = options.print_file.empty() && !p.files.empty() ? p.files.front().filename
                                                                                   : options.print_file;
            }
            Printer& printer = group.add(std::move(p));
            if (options.refuse) printer.refuse_connections(true);
            if (options.stall_handshake) printer.stall_handshakes(true);
            if (options.no_pongs) printer.withhold_pongs(true);
            if (options.unauthorized) printer.refuse_unauthorized(true);
            if (options.no_status_updates) printer.pause_status_updates(true);
            if (options.no_proc_stats) printer.pause_proc_stats(true);
            for (const auto& [method, fault] : options.method_faults) printer.set_method_fault(method, fault);
            if (!options.quiet && (options.verbose || options.count <= 20)) {
                std::printf("printer %d: ws://%s/websocket hostname=%s %s%s\n", i + 1, printer.address().c_str(),
                            printer.options().hostname.c_str(), kinematics_name(printer.options().kinematics),
                            i < printing ? " printing" : "");
            }
        }
    } catch (const std::exception& error) {
        std::cerr << "pemra-printer-sim: " << error.what() << "\n";
        return 1;
    }
    if (!options.ports_file.empty() && !write_ports_file(options.ports_file, group)) {
        std::cerr << "pemra-printer-sim: cannot write " << options.ports_file << "\n";
        return 1;
    }
    if (!options.quiet) {
        std::printf("serving %d printer%s on %s ports %d-%d (%d printing), status every %lld ms; "
                    "Ctrl-C to stop\n",
                    options.count, options.count == 1 ? "" : "s", options.printer.bind_address.c_str(),
                    static_cast<int>(group.at(0).port()), static_cast<int>(group.at(group.size() - 1).port()),
                    printing, static_cast<long long>(options.printer.update_interval.count()));
        std::fflush(stdout);
    }

    std::unique_ptr<cli::Chaos> chaos;
    if (options.chaos_s > 0) {
        cli::ChaosSettings settings;
        settings.mean_interval = std::chrono::milliseconds(static_cast<std::int64_t>(options.chaos_s * 1000));
        settings.seed = options.chaos_seed;
        chaos = std::make_unique<cli::Chaos>(group, settings);
    }

    int signal_number = 0;
    for (;;) {
        sigwait(&signals, &signal_number);
        if (signal_number != SIGUSR1) break;
        if (chaos) {
            chaos->calm();
            // On standard error, which a client running the farm keeps open.
            std::fprintf(stderr, "chaos over: %s\n", chaos->summary().c_str());
        }
    }
    if (!options.quiet) std::printf("stopping on signal %d\n", signal_number);
    if (chaos) chaos->calm();
    chaos.reset();
    group.stop();
    return 0;
}
