// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Many simulated printers served by one io thread: the farm of the command
// line (up to a thousand printers), or several printers in a test.
//
// add and stop may be called from any thread but the group's io thread; the
// printers it returns are ordinary Printer objects (see printer.h) whose
// methods keep their own thread rules. Destroying the group stops every
// printer and joins the thread.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "printer_sim/options.h"
#include "printer_sim/printer.h"

namespace printer_sim {

class PrinterGroup {
public:
    PrinterGroup();
    ~PrinterGroup();
    PrinterGroup(const PrinterGroup&) = delete;
    PrinterGroup& operator=(const PrinterGroup&) = delete;

    // Starts one more printer on the group's thread; throws std::runtime_error
    // when its port cannot be bound. The reference stays valid until the
    // group is destroyed.
    Printer& add(PrinterOptions options);
    std::size_t size() const;
    Printer& at(std::size_t index);
    // Stops every printer, then joins the io thread. Idempotent.
    void stop();

private:
    const std::shared_ptr<detail::IoThread> io_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Printer>> printers_;  // guarded by mutex_
};

}  // namespace printer_sim
