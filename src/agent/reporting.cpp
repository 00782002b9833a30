// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Every message to the host leaves through one of these reports.

#include "agent/printer_manager.h"
#include "base/exception_firewall.h"
#include "base/log.h"

namespace pemra {

template <typename Slot, typename Payload>
bool PrinterManager::call_slot(const Slot& slot, const std::string& device_id, const Payload& payload) {
    if (stopping_.load() || callbacks_suppressed_.load()) return false;
    const auto fn = slot.get();
    if (!fn) return false;
    // The host gets its own copies.
    catch_and_log([&] { (*fn)(device_id, payload); }, "host callback failed for ", device_id, ": ");
    return true;
}

void PrinterManager::report_machine_status(const std::string& device_id, const MachineStatus& status) {
    call_slot(machine_status_changed_fn_, device_id, status);
}

void PrinterManager::report_file_list(const std::string& device_id, const std::string& text) {
    call_slot(file_list_arrived_fn_, device_id, text);
}

void PrinterManager::report_file_meta(const std::string& device_id, const std::string& text) {
    call_slot(file_meta_arrived_fn_, device_id, text);
}

void PrinterManager::report_print_history(const std::string& device_id, const std::string& text) {
    call_slot(print_history_arrived_fn_, device_id, text);
}

void PrinterManager::report_error(const std::string& device_id, const std::string& text) {
    call_slot(error_arrived_fn_, device_id, text);
}

void PrinterManager::report_file_changed(const std::string& device_id, const std::string& text) {
    if (call_slot(file_changed_fn_, device_id, text)) log::debug("file changed:", device_id);
}

void PrinterManager::report_history_changed(const std::string& device_id, const std::string& text) {
    if (call_slot(history_changed_fn_, device_id, text)) log::debug("history changed:", device_id);
}

}  // namespace pemra
