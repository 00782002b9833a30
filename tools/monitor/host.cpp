// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "host.h"

#include <chrono>
#include <utility>

namespace monitor {
namespace {

TextArrivedFn queue_text(EventQueue* queue, EventKind kind) {
    return [queue, kind](std::string id, std::string text) {
        Event event;
        event.kind = kind;
        event.device_id = std::move(id);
        event.text = std::move(text);
        event.time = std::chrono::system_clock::now();
        queue->push(std::move(event));
    };
}

}  // namespace

Host::Host(const PluginApi& api, const std::string& log_dir, int log_level, EventQueue& queue)
    : api_(api), queue_(queue) {
    agent_ = api_.pemra_network_create_agent(log_dir, log_level);
    EventQueue* q = &queue;
    api_.pemra_set_machine_status_changed_fn(agent_, [this, q](std::string id, MachineStatus status) {
        {
            std::lock_guard<std::mutex> lock(open_mutex_);
            if (status.connect_state == pemra::connect_state::open) {
                open_.insert(id);
            } else {
                open_.erase(id);
            }
        }
        Event event;
        event.kind = EventKind::status;
        event.device_id = std::move(id);
        event.status = std::move(status);
        event.time = std::chrono::system_clock::now();
        q->push(std::move(event));
    });
    api_.pemra_set_file_list_arrived_fn(agent_, queue_text(q, EventKind::file_list));
    api_.pemra_set_file_meta_arrived_fn(agent_, queue_text(q, EventKind::file_meta));
    api_.pemra_set_print_history_arrived_fn(agent_, queue_text(q, EventKind::history));
    api_.pemra_set_error_arrived_fn(agent_, queue_text(q, EventKind::error));
    api_.pemra_set_file_changed_fn(agent_, queue_text(q, EventKind::file_changed));
    api_.pemra_set_history_changed_fn(agent_, queue_text(q, EventKind::history_changed));
}

Host::~Host() { shut_down(); }

void Host::start() { api_.pemra_network_start(agent_); }

void Host::connect(const PrinterTarget& printer) {
    api_.pemra_network_connect_printer(agent_, printer.id, printer.address, "", "");
    connected_.push_back(printer.id);
}

void Host::request_file_list(const std::string& id) { api_.pemra_get_file_list_fn(agent_, id); }

void Host::request_file_meta(const std::string& id, const std::string& file) {
    api_.pemra_get_file_meta_fn(agent_, id, file);
}

void Host::request_history(const std::string& id, int start, int limit, const std::string& order) {
    api_.pemra_get_print_history_fn(agent_, id, start, limit, order);
}

void Host::delete_file(const std::string& id, const std::string& file) { api_.pemra_delete_file_fn(agent_, id, file); }

void Host::send(const std::string& id, const std::string& message) {
    api_.pemra_network_send_message_to_printer(agent_, id, message);
}

void Host::shut_down() {
    if (!agent_) return;
    std::set<std::string> closing;
    {
        std::lock_guard<std::mutex> lock(open_mutex_);
        closing = open_;
    }
    for (const auto& id : connected_) api_.pemra_network_disconnect_printer(agent_, id);
    connected_.clear();

    // Destroying the agent abandons the close handshake of a printer that
    // was just disconnected (it only waits for printers still registered),
    // and the printer then sees a connection that vanished. The plug-in
    // reports each disconnected printer offline once its handshake is done,
    // so those reports are waited for, briefly.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!closing.empty() && std::chrono::steady_clock::now() < deadline) {
        queue_.wait(deadline);
        for (const Event& event : queue_.take()) {
            if (event.kind == EventKind::status && event.status.connect_state == pemra::connect_state::closed) closing.erase(event.device_id);
        }
    }
    api_.pemra_network_destroy_agent(agent_);
    agent_ = nullptr;
}

}  // namespace monitor
