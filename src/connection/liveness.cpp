// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The liveness pass: every check interval, open printers are pinged and
// ticked, closed and failed ones reconnected. The check thread decides under
// connections_mutex and hands the work to io_thread in key order, so no
// WebSocket call and no host callback happens while the registry is locked.

#include <utility>

#include "agent/log.h"
#include "agent/printer_manager.h"
#include "agent/trace.h"
#include "connection/handler_guard.h"
#include "connection/printer_connection.h"
#include "connection/ws_client.h"
#include "protocol/requests.h"

namespace pemra {
namespace {

// A tracked request still unanswered at this many ticks is sent again.
constexpr std::int16_t kResendTicks = 4;

}  // namespace

void PrinterManager::do_socket_check_loop() {
    enter_thread(ThreadRole::check, "pemra-check");
    std::unique_lock<std::mutex> lock(connections_mutex);
    while (!stop_requested.load()) {
        const auto deadline = std::chrono::steady_clock::now() + timings_.check_interval;
        if (check_wakeup.wait_until(lock, deadline, [this] { return stop_requested.load(); })) break;
        run_guarded("liveness pass", "", [&] { liveness_pass(); });
    }
    lock.unlock();
    log::debug("do_socket_check_loop stop");
}

// Runs with connections_mutex held.
void PrinterManager::liveness_pass() {
    for (auto& [device_id, record] : connections) {
        switch (record->current_state()) {
            case Open: {
                const std::uint64_t gen = record->generation.load();
                post([this, record = record, gen, handle = record->hdl] {
                    record->ping_and_tick(this, gen, handle);
                });
                break;
            }
            case Closed:
            case Failed:
                connect_locked(device_id, record->uri);
                break;
            case Connecting:
                // The handshake timeout ends the attempt with an open or a fail.
                break;
        }
    }
}

void PrinterConnection::ping_and_tick(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle) {
    run_guarded("liveness", id, [&] {
        if (!is_current(gen) || state.load() != Open) return;
        trace::out("ping ", id, "\n");
        std::error_code ec;
        WsConnectionPtr connection = agent->endpoint().get_con_from_hdl(handle, ec);
        if (!ec) connection->ping("heartbeat", ec);
        if (ec) trace::out("ping error: ", id, ec.message(), "\n");
        tick(&agent->endpoint(), std::move(handle));
    });
}

void PrinterConnection::tick(WsClient* endpoint, ConnectionHandle handle) {
    std::lock_guard<std::mutex> lock(pending_mutex);
    // A printer that sent no status since the last tick lost its
    // subscription or never got one: ask for its objects again.
    if (status_updates.exchange(0) == 0) {
        send(endpoint, handle, requests::kObjectsList, std::string(requests::kObjectsListText), false);
    }
    // Direct sends are untracked, so send() does not take pending_mutex again.
    for (auto& [request_id, message] : pending) {
        ++message.retries;
        if (message.retries >= kResendTicks && message.track) {
            message.retries = 0;
            send(endpoint, handle, request_id, message.payload, false);
        }
    }
}

}  // namespace pemra
