// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "printer_sim/printer_group.h"

#include "io_thread.h"

namespace printer_sim {

PrinterGroup::PrinterGroup() : io_(std::make_shared<detail::IoThread>()) {}

PrinterGroup::~PrinterGroup() { stop(); }

Printer& PrinterGroup::add(PrinterOptions options) {
    std::unique_ptr<Printer> printer(new Printer(io_, std::move(options), false));
    std::lock_guard<std::mutex> lock(mutex_);
    printers_.push_back(std::move(printer));
    return *printers_.back();
}

std::size_t PrinterGroup::size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return printers_.size();
}

Printer& PrinterGroup::at(std::size_t index) {
    std::lock_guard<std::mutex> lock(mutex_);
    return *printers_.at(index);
}

void PrinterGroup::stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& printer : printers_) printer->stop();
    io_->join();
}

}  // namespace printer_sim
