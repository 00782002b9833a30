// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "connection/printer_connection.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <utility>

#include "base/log.h"
#include "connection/offline_status.h"
#include "connection/ws_client.h"

namespace pemra {

namespace {

// Each printer jitters its reconnection delays differently.
std::uint32_t jitter_seed(const std::string& device_id, const void* record) {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return static_cast<std::uint32_t>(std::hash<std::string>{}(device_id) ^ reinterpret_cast<std::uintptr_t>(record) ^
                                      static_cast<std::size_t>(now));
}

}  // namespace

PrinterConnection::PrinterConnection(std::string device_id, const QuickRetryTiming& quick_retry)
    : session(std::move(device_id)), rhythm_(quick_retry, jitter_seed(id, this)) {}

void PrinterConnection::send(WsClient* endpoint, ConnectionHandle handle, std::int32_t request_id,
                             const std::string& payload, bool track) {
    if (current_state() != ConnectionState::open) {
        log::debug("websocket is not connected, send msg:", payload);
        return;
    }
    // Remembered before the send and whatever its outcome, so that a request
    // whose send fails is re-sent by the liveness tick.
    if (request_id >= 1 && track) session.pending.remember(request_id, payload);
    std::error_code ec;
    WsConnectionPtr connection = endpoint->get_con_from_hdl(std::move(handle), ec);
    if (!ec) ec = connection->send(text_message(payload));
    if (!ec) {
        log::debug("send to ", id, " msg:", payload);
    } else {
        log::debug("> Error sending message: ", ec.message());
    }
}

bool PrinterConnection::change_state(std::uint64_t gen, ConnectionState to, ConnectionState* previous) {
    std::uint64_t link = link_.load();
    do {
        if (generation_of(link) != gen) return false;
    } while (!link_.compare_exchange_weak(link, link_of(gen, to)));
    if (previous) *previous = state_of(link);
    return true;
}

std::optional<std::uint64_t> PrinterConnection::begin_attempt() {
    std::uint64_t link = link_.load();
    do {
        if (state_of(link) == ConnectionState::open) return std::nullopt;
    } while (!link_.compare_exchange_weak(link, link_of(generation_of(link) + 1, ConnectionState::connecting)));
    return generation_of(link) + 1;
}

void PrinterConnection::announce_reconnect(ConnectionOwner* agent) {
    session.status.machine_state = machine_state::reconnecting;
    session.status.print_state = print_state::unknown;
    session.status.connect_state = connect_state::not_open;
    session.status.klippy_state = klippy_state::unknown;
    session.report_status(*agent);
}

void PrinterConnection::report_offline(ConnectionOwner* agent) {
    mark_offline(session.status);
    session.report_status(*agent);
}

void PrinterConnection::close_connection(ConnectionOwner* agent, ConnectionHandle handle) {
    std::error_code ignored;
    agent->endpoint().close(std::move(handle), websocketpp::close::status::normal, "", ignored);
}

}  // namespace pemra
