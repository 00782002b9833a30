// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The nineteen exports that do work. Each forwards to the agent and returns
// at once; results reach the host through its callbacks.

#include "pemra_network/pemra_network.h"

#include <utility>

#include "agent/printer_manager.h"
#include "api/export_call.h"
#include "base/log.h"

using pemra::PrinterManager;
using pemra::api::with_agent;

void* pemra_network_create_agent(std::string log_dir, int log_level) {
    // Without a usable log folder the agent still works, only silently.
    pemra::log::init_logging(log_dir, log_level);
    try {
        return new PrinterManager();
    } catch (...) {
        return nullptr;
    }
}

int pemra_network_destroy_agent(void* agent) {
    if (!agent) return 0;
    auto* manager = static_cast<PrinterManager*>(agent);
    try {
        if (manager->on_own_thread()) {
            pemra::log::error("pemra_network_destroy_agent called from a callback: the agent is kept");
            return 0;
        }
        pemra::log::flush();
        manager->stop();
        manager->wait_for_calls_to_finish();
        pemra::log::flush();
        delete manager;
    } catch (...) {
        pemra::log::error("pemra_network_destroy_agent failed");
    }
    return 0;
}

int pemra_network_start(void* agent) {
    if (!agent) return 0;
    auto& manager = *static_cast<PrinterManager*>(agent);
    PrinterManager::CallScope scope(manager);
    // A second start throws the client's refusal to the host, as documented.
    manager.start();
    return 0;
}

int pemra_network_connect_printer(void* agent, std::string device_id, std::string address, std::string,
                                  std::string) {
    return with_agent(agent, "pemra_network_connect_printer", [&](PrinterManager& m) {
        m.connect(std::move(device_id), "ws://" + address + "/websocket");
    });
}

int pemra_network_disconnect_printer(void* agent, std::string device_id) {
    return with_agent(agent, "pemra_network_disconnect_printer",
                      [&](PrinterManager& m) { m.close(std::move(device_id), 1000, ""); });
}

int pemra_network_send_message_to_printer(void* agent, std::string device_id, std::string message) {
    return with_agent(agent, "pemra_network_send_message_to_printer",
                      [&](PrinterManager& m) { m.send(std::move(device_id), 0, std::move(message), false); });
}

int pemra_get_file_list_fn(void* agent, std::string device_id) {
    return with_agent(agent, "pemra_get_file_list_fn",
                      [&](PrinterManager& m) { m.request_file_list(device_id, "gcodes"); });
}

int pemra_get_file_meta_fn(void* agent, std::string device_id, std::string file_name) {
    return with_agent(agent, "pemra_get_file_meta_fn",
                      [&](PrinterManager& m) { m.request_file_metadata(device_id, file_name); });
}

int pemra_delete_file_fn(void* agent, std::string device_id, std::string file_name) {
    return with_agent(agent, "pemra_delete_file_fn",
                      [&](PrinterManager& m) { m.request_delete_file(device_id, file_name); });
}

int pemra_get_print_history_fn(void* agent, std::string device_id, int start, int limit, std::string order) {
    return with_agent(agent, "pemra_get_print_history_fn",
                      [&](PrinterManager& m) { m.request_history(device_id, start, limit, order); });
}

int pemra_network_track_enable(void* agent, bool enable) {
    return with_agent(agent, "pemra_network_track_enable",
                      [&](PrinterManager& m) { m.set_callbacks_suppressed(!enable); });
}

const char* pemra_network_get_version() {
    static constexpr char kVersion[] = "01.09.03.50";
    return kVersion;
}

int pemra_set_machine_status_changed_fn(void* agent, MachineStatusChangedFn fn) {
    return with_agent(agent, "pemra_set_machine_status_changed_fn",
                      [&](PrinterManager& m) { m.set_machine_status_changed_fn(std::move(fn)); });
}

int pemra_set_file_list_arrived_fn(void* agent, FileListArrivedFn fn) {
    return with_agent(agent, "pemra_set_file_list_arrived_fn",
                      [&](PrinterManager& m) { m.set_file_list_arrived_fn(std::move(fn)); });
}

int pemra_set_file_meta_arrived_fn(void* agent, FileMetaArrivedFn fn) {
    return with_agent(agent, "pemra_set_file_meta_arrived_fn",
                      [&](PrinterManager& m) { m.set_file_meta_arrived_fn(std::move(fn)); });
}

int pemra_set_print_history_arrived_fn(void* agent, PrintHistoryArrivedFn fn) {
    return with_agent(agent, "pemra_set_print_history_arrived_fn",
                      [&](PrinterManager& m) { m.set_print_history_arrived_fn(std::move(fn)); });
}

int pemra_set_error_arrived_fn(void* agent, ErrorArrivedFn fn) {
    return with_agent(agent, "pemra_set_error_arrived_fn",
                      [&](PrinterManager& m) { m.set_error_arrived_fn(std::move(fn)); });
}

int pemra_set_file_changed_fn(void* agent, FileChangedFn fn) {
    return with_agent(agent, "pemra_set_file_changed_fn",
                      [&](PrinterManager& m) { m.set_file_changed_fn(std::move(fn)); });
}

int pemra_set_history_changed_fn(void* agent, HistoryChangedFn fn) {
    return with_agent(agent, "pemra_set_history_changed_fn",
                      [&](PrinterManager& m) { m.set_history_changed_fn(std::move(fn)); });
}
