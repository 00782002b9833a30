// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How one simulated printer is set up. Plain data, copied at start.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "printer_sim/files.h"

namespace printer_sim {

enum class Kinematics { cartesian, corexy, delta };

// The object list a printer with a filament box reports by default. Every
// object the plug-in reads is in it, plus the usual extras of a real machine.
std::vector<std::string> default_objects();

struct PrinterOptions {
    // Listening address and port; port 0 lets the kernel pick a free one.
    std::string bind_address = "127.0.0.1";
    std::uint16_t port = 0;

    // Identity, as printer.info reports it.
    std::string hostname = "printer-sim";
    std::string cpu_info = "4 core ARM Cortex-A53";
    std::string software_version = "v0.12.0-302-g87ac6936";
    // The "Server" header of the handshake response.
    std::string server_header = "printer-sim/1.0";

    // Klippy's state at start: "ready", "startup", "shutdown", "error"
    // (halted) or "disconnected" (the API server runs without Klippy).
    std::string klippy_state = "ready";
    Kinematics kinematics = Kinematics::cartesian;

    // How often subscribers get notify_status_update (Klippy batches at 250 ms).
    std::chrono::milliseconds update_interval{250};
    // How often the machine statistics move: mcu.last_stats and system_stats
    // in the status, and the notify_proc_stat_update frame.
    std::chrono::milliseconds stats_interval{1000};

    // Speeds up the printer's slow processes (restart, filament load and
    // unload, heating) by this factor: 10 makes a 2.3 s restart take 230 ms.
    double speed = 1.0;
    // Wall-clock length of a print. Zero: the file's estimated time / speed.
    std::chrono::milliseconds print_duration{0};
    // Extrusion below this temperature is refused, as Klipper does; 0 allows it.
    double min_extrude_temp = 170.0;

    // What printer.objects.list reports. Objects the simulator models report
    // their state; any other name is listed and reports an empty state.
    std::vector<std::string> objects = default_objects();
    std::vector<GcodeFile> files = default_files();
    std::vector<HistoryJob> history = default_history();

    // When set, the printer prints this file from start, and starts it again
    // a moment after each print ends (for demos and load runs).
    std::string autoprint_file;

    // For latency measurements: every notify_status_update carries the
    // sender's wall-clock time (seconds since the epoch, microsecond
    // resolution) in toolhead.estimated_print_time.
    bool stamp_send_time = false;
    // For counting lost frames: every notify_status_update carries its
    // number, counted from 1 over the printer's status frames, as
    // toolhead.estimated_print_time = -number (overrides stamp_send_time).
    // A client subscribed to the printer sees consecutive numbers.
    bool number_frames = false;

    // Keep every text frame clients send (Printer::received). The farm turns
    // this off, as nobody reads them there.
    bool record_frames = true;
};

}  // namespace printer_sim
