// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "demo.h"

#include <chrono>

namespace monitor {

DemoPrinters::DemoPrinters() {
    using namespace std::chrono_literals;

    printer_sim::PrinterOptions printing;
    printing.hostname = "corexy-sim";
    printing.kinematics = printer_sim::Kinematics::corexy;
    printing.autoprint_file = printing.files.front().filename;
    // Long enough to watch the bar move, short enough to see the end.
    printing.print_duration = 20s;
    printing.record_frames = false;
    targets_.push_back({"sim-1", group_.add(printing).address()});

    printer_sim::PrinterOptions idle;
    idle.hostname = "delta-sim";
    idle.kinematics = printer_sim::Kinematics::delta;
    idle.record_frames = false;
    targets_.push_back({"sim-2", group_.add(idle).address()});
}

DemoPrinters::~DemoPrinters() { group_.stop(); }

}  // namespace monitor
