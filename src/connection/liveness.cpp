// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A printer's side of the liveness pass, on io_thread: the ping, the silence
// count, and the tick that asks again for what went unanswered.

#include <system_error>
#include <utility>

#include "base/log.h"
#include "base/trace.h"
#include "base/exception_firewall.h"
#include "connection/printer_connection.h"
#include "connection/ws_client.h"
#include "protocol/requests.h"

namespace pemra {
namespace {

// Passes in a row that heard nothing since the pass before. At the first,
// the previous pass's ping went a whole interval without a pong (a pong
// timeout); two more such passes and the link is taken for dead. A printer
// that answers pings or sends any frame never gets there.
constexpr int kSilentPassesToDrop = 3;

}  // namespace

void PrinterConnection::ping_and_tick(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle) {
    run_guarded("liveness", id, [&] {
        if (!is_current(gen) || current_state() != ConnectionState::open) return;
        silent_passes_ = heard_since_pass_ ? 0 : silent_passes_ + 1;
        heard_since_pass_ = false;
        // A printer being disconnected ends with its closing handshake.
        if (silent_passes_ >= kSilentPassesToDrop && !is_removed()) {
            drop_silent_connection(agent, std::move(handle));
            return;
        }
        trace::out("ping ", id, "\n");
        std::error_code ec;
        WsConnectionPtr connection = agent->endpoint().get_con_from_hdl(handle, ec);
        if (!ec) connection->ping("heartbeat", ec);
        if (ec) trace::out("ping error: ", id, ec.message(), "\n");
        tick(&agent->endpoint(), std::move(handle));
    });
}

void PrinterConnection::drop_silent_connection(ConnectionOwner* agent, ConnectionHandle handle) {
    log::info("no sign of life from ", id, " for ", silent_passes_, " liveness passes: dropping its connection");
    std::error_code ec;
    WsConnectionPtr connection = agent->endpoint().get_con_from_hdl(std::move(handle), ec);
    if (ec) {
        log::error("dropping the connection of ", id, " failed: ", ec.message());
        return;
    }
    // No closing handshake: nothing would answer it. The close event that
    // follows reports the printer offline and starts the reconnection rhythm.
    connection->terminate(std::make_error_code(std::errc::timed_out));
}

void PrinterConnection::tick(WsClient* endpoint, ConnectionHandle handle) {
    // A printer that sent no status since the last tick lost its
    // subscription or never got one: ask for its objects again.
    if (session.take_status_updates() == 0) {
        send(endpoint, handle, protocol::requests::kObjectsList, std::string(protocol::requests::kObjectsListText), false);
    }
    // Re-sent untracked: they are still pending, with their count restarted.
    for (const auto& [request_id, payload] : session.pending.tick()) {
        send(endpoint, handle, request_id, payload, false);
    }
}

}  // namespace pemra
