// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Connecting and closing printers: connect makes a WebSocket connection for
// a printer and has the registry make it the printer's new one, then starts
// it on io_thread; a retry does the same for a printer that went away; close
// has the registry forget the printer and closes its connection.

#include <utility>

#include "agent/printer_manager.h"
#include "base/exception_firewall.h"
#include "base/log.h"
#include "connection/address_resolver.h"
#include "connection/offline_status.h"
#include "connection/printer_connection.h"
#include "connection/ws_client.h"

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
    WsConnectionPtr connection = new_connection(device_id, uri);
    if (!connection) {
        // Without a record nothing would ever tell the host that this printer
        // cannot be reached.
        if (started_.load() && !stopping_.load() && !registry_.contains(device_id)) {
            report_offline_without_record(device_id);
        }
        return -1;
    }
    const auto attempt = registry_.connect(device_id, uri, connection->get_handle(), timings_.quick_retry);
    if (attempt) start_attempt(*attempt, connection, ConnectOrigin::host);
    return 0;
}

void PrinterManager::quick_reconnect(const std::shared_ptr<PrinterConnection>& record, std::uint64_t gen) {
    if (stopping_.load()) return;
    if (const auto due = registry_.due_retry(record, gen)) retry(*due);
}

void PrinterManager::retry(const Registry::Retry& due) {
    WsConnectionPtr connection = new_connection(due.record->id, due.uri);
    if (!connection) return;
    if (const auto attempt = registry_.retry(due, connection->get_handle())) {
        start_attempt(*attempt, connection, ConnectOrigin::retry);
    }
}

WsConnectionPtr PrinterManager::new_connection(const std::string& device_id, const std::string& uri) {
    log::info("Connect initialization ", device_id);
    if (!started_.load() || stopping_.load()) {
        log::error("Connect initialization error: ", device_id, ",",
                   stopping_.load() ? "the agent is stopping" : "the agent is not started");
        return nullptr;
    }
    std::error_code ec;
    WsConnectionPtr connection = client_->get_connection(uri, ec);
    // The client's URI parser takes an empty host or one with white space,
    // which can never be reached: refuse those here as well.
    const bool bad_host = !ec && (connection->get_host().empty() ||
                                  connection->get_host().find_first_of(" \t\r\n") != std::string::npos);
    if (ec || bad_host) {
        log::error("Connect initialization error: ", device_id, ",", ec ? ec.message() : std::string("invalid host"));
        return nullptr;
    }
    return connection;
}

void PrinterManager::start_attempt(const Registry::Attempt& attempt, const WsConnectionPtr& connection,
                                   ConnectOrigin origin) {
    const auto record = attempt.record;
    const std::uint64_t gen = attempt.generation;
    const bool reused = attempt.reused;
    bind_handlers(connection, record, this, gen);

    // The reconnect report and the start of the connection run on io_thread,
    // in this order, so the host hears "reconnecting" before the outcome.
    const bool from_host = origin == ConnectOrigin::host;
    post([this, record, connection, gen, reused, from_host] {
        // A newer connect took over, or the host disconnected the printer
        // after this attempt was asked for.
        if (!record->wants_attempt(gen)) return;
        if (from_host) record->restart_reconnect_rhythm();
        if (reused) record->announce_reconnect(this);
        pause_point("connect task");
        const std::string host = connection->get_host();
        resolver_->resolve(record->id, host, connection->get_port(), [this, record, connection, gen](ResolvedTarget target) {
            // Still wanted after the lookup?
            if (!record->wants_attempt(gen)) return;
            run_guarded("connect", record->id, [&] {
                client_->aim_next_connect(std::move(target));
                client_->connect(connection);
            });
        });
    });
}

void PrinterManager::report_offline_without_record(const std::string& device_id) {
    post([this, device_id] { report_machine_status(device_id, offline_status()); });
}

void PrinterManager::close(std::string device_id, std::uint16_t close_code, std::string reason) {
    const auto link = registry_.remove(device_id);
    if (!link) {
        log::info("No connection found with id ", device_id);
        return;
    }
    post([this, record = link->record, handle = link->handle, close_code, reason = std::move(reason)] {
        std::error_code ec;
        client_->close(handle, close_code, reason, ec);
        if (ec) log::error("> Error initiating close: ", record->id, ",", ec.message());
    });
}

std::shared_ptr<PrinterConnection> PrinterManager::find_connection(const std::string& device_id) {
    return registry_.find(device_id);
}

}  // namespace pemra
