// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Printers to watch for someone who has none at hand: two simulated printers
// served from this process on 127.0.0.1, one printing a short job over and
// over (so a print starts, progresses and completes, and the history gains
// an entry, within half a minute), one idle.

#include <vector>

#include "options.h"
#include "printer_sim/printer_group.h"

namespace monitor {

class DemoPrinters {
public:
    DemoPrinters();  // listening when it returns; throws std::runtime_error
    ~DemoPrinters();
    DemoPrinters(const DemoPrinters&) = delete;
    DemoPrinters& operator=(const DemoPrinters&) = delete;

    const std::vector<PrinterTarget>& targets() const { return targets_; }

private:
    printer_sim::PrinterGroup group_;
    std::vector<PrinterTarget> targets_;
};

}  // namespace monitor
