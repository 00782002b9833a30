// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The registry of printer connections: connect creates or reuses a printer's
// record and starts a WebSocket connection for it, close ends it and forgets
// the printer.

#include <algorithm>
#include <utility>

#include "agent/printer_manager.h"
#include "base/exception_firewall.h"
#include "base/log.h"
#include "connection/printer_connection.h"
#include "connection/ws_client.h"
#include "status/status_readers.h"

namespace pemra {
namespace {

void bind_handlers(const WsConnectionPtr& connection, const std::shared_ptr<PrinterConnection>& record,
                   PrinterManager* agent, std::uint64_t gen) {
    connection->set_open_handler([record, agent, gen](ConnectionHandle h) { record->on_open(agent, gen, std::move(h)); });
    connection->set_fail_handler([record, agent, gen](ConnectionHandle h) { record->on_fail(agent, gen, std::move(h)); });
    connection->set_close_handler([record, agent, gen](ConnectionHandle h) { record->on_close(agent, gen, std::move(h)); });
    connection->set_message_handler([record, agent, gen](ConnectionHandle h, MessagePtr m) {
        record->on_message(agent, gen, std::move(h), std::move(m));
    });
    connection->set_pong_timeout_handler([record, agent, gen](ConnectionHandle h, std::string payload) {
        record->on_pong_timeout(agent, gen, std::move(h), std::move(payload));
    });
    connection->set_pong_handler([record, agent, gen](ConnectionHandle h, std::string payload) {
        record->on_pong(agent, gen, std::move(h), std::move(payload));
    });
}

}  // namespace

int PrinterManager::connect(std::string device_id, const std::string& uri) {
    std::lock_guard<std::mutex> lock(connections_mutex_);
    return connect_locked(std::move(device_id), uri, ConnectOrigin::host);
}

void PrinterManager::quick_reconnect(const std::shared_ptr<PrinterConnection>& record, std::uint64_t gen) {
    std::lock_guard<std::mutex> lock(connections_mutex_);
    if (stopping_.load() || !record->is_current(gen)) return;
    auto found = connections_.find(record->id);
    if (found == connections_.end() || found->second != record) return;
    const ConnectionState state = record->current_state();
    if (state != ConnectionState::closed && state != ConnectionState::failed) return;
    connect_locked(record->id, record->uri, ConnectOrigin::retry);
}

// Runs with connections_mutex_ held (host threads through connect, the check
// thread and quick attempts directly).
int PrinterManager::connect_locked(std::string device_id, const std::string& uri, ConnectOrigin origin) {
    log::info("Connect initialization ", device_id);
    if (!started_.load() || stopping_.load()) {
        log::error("Connect initialization error: ", device_id, ",",
                   stopping_.load() ? "the agent is stopping" : "the agent is not started");
        return -1;
    }
    std::error_code ec;
    WsConnectionPtr connection = client_->get_connection(uri, ec);
    // The client's URI parser takes an empty host or one with white space,
    // which can never be reached: refuse those here as well.
    const bool bad_host = !ec && (connection->get_host().empty() ||
                                  connection->get_host().find_first_of(" \t\r\n") != std::string::npos);
    if (ec || bad_host) {
        log::error("Connect initialization error: ", device_id, ",", ec ? ec.message() : std::string("invalid host"));
        // Without a record nothing would ever tell the host that this printer
        // cannot be reached.
        if (connections_.find(device_id) == connections_.end()) report_offline_without_record(device_id);
        return -1;
    }

    std::shared_ptr<PrinterConnection> record;
    bool reused = false;
    std::uint64_t gen = 1;
    auto found = connections_.find(device_id);
    if (found == connections_.end()) {
        record = std::make_shared<PrinterConnection>(device_id, connection->get_handle(), uri, timings_.quick_retry);
        connections_[device_id] = record;
    } else {
        record = found->second;
        const auto attempt = record->begin_attempt();
        if (!attempt) return 0;  // open: the link stays
        gen = *attempt;
        record->hdl = connection->get_handle();
        record->uri = uri;
        reused = true;
    }
    bind_handlers(connection, record, this, gen);

    // The reconnect report and the start of the connection run on io_thread,
    // in this order, so the host hears "reconnecting" before the outcome.
    const bool from_host = origin == ConnectOrigin::host;
    post([this, record, connection, gen, reused, from_host] {
        // A newer connect took over, or the host disconnected the printer
        // after this attempt was asked for.
        if (!record->is_current(gen) || record->removed.load()) return;
        if (from_host) record->restart_reconnect_rhythm();
        if (reused) record->announce_reconnect(this);
        pause_point("connect task");
        const std::string host = connection->get_host();
        resolver_->resolve(record->id, host, connection->get_port(), [this, record, connection, gen](ResolvedTarget target) {
            // Still wanted after the lookup?
            if (!record->is_current(gen) || record->removed.load()) return;
            run_guarded("connect", record->id, [&] {
                client_->aim_next_connect(std::move(target));
                client_->connect(connection);
            });
        });
    });
    return 0;
}

void PrinterManager::report_offline_without_record(const std::string& device_id) {
    post([this, device_id] {
        MachineStatus offline;
        offline.connect_state = connect_state::closed;
        status::derive_states(offline);
        report_machine_status(device_id, offline);
    });
}

void PrinterManager::close(std::string device_id, std::uint16_t close_code, std::string reason) {
    std::shared_ptr<PrinterConnection> record;
    ConnectionHandle handle;
    {
        std::lock_guard<std::mutex> lock(connections_mutex_);
        auto found = connections_.find(device_id);
        if (found != connections_.end()) {
            record = found->second;
            handle = record->hdl;
            record->removed.store(true);
            connections_.erase(found);
            closing_.erase(std::remove_if(closing_.begin(), closing_.end(),
                                         [](const auto& weak) {
                                             auto r = weak.lock();
                                             return !r || r->current_state() != ConnectionState::open;
                                         }),
                          closing_.end());
            if (record->current_state() == ConnectionState::open) closing_.push_back(record);
        }
    }
    if (!record) {
        log::info("No connection found with id ", device_id);
        return;
    }
    post([this, record, handle, close_code, reason = std::move(reason)] {
        std::error_code ec;
        client_->close(handle, close_code, reason, ec);
        if (ec) log::error("> Error initiating close: ", record->id, ",", ec.message());
    });
}

std::shared_ptr<PrinterConnection> PrinterManager::find_connection(const std::string& device_id) {
    std::lock_guard<std::mutex> lock(connections_mutex_);
    auto found = connections_.find(device_id);
    return found == connections_.end() ? nullptr : found->second;
}

}  // namespace pemra
