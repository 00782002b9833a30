// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The life events of a printer's WebSocket connection. All run on io_thread,
// each with the generation its connection was bound with: events of a
// superseded connection are only logged.

#include <utility>

#include "base/concat.h"
#include "base/log.h"
#include "base/trace.h"
#include "base/exception_firewall.h"
#include "connection/printer_connection.h"
#include "connection/ws_client.h"

namespace pemra {

void PrinterConnection::on_open(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle) {
    run_guarded("on_open", id, [&] {
        // A connection nobody wants any more: the host disconnected the
        // printer while it was connecting, or a newer attempt replaced it
        // (then the state belongs to that attempt and stays as it is).
        if (is_removed() || !change_state(gen, ConnectionState::open)) {
            log::debug("on_open:", id, is_removed() ? ",disconnected meanwhile" : ",superseded", ", closing");
            close_connection(agent, std::move(handle));
            return;
        }
        agent->pause_point("on_open claimed");
        server = agent->endpoint().get_con_from_hdl(std::move(handle))->get_response_header("Server");
        log::debug("on_open:", id);
        heard_since_pass_ = true;
        silent_passes_ = 0;
        session.start_over();
        session.status.connect_state = connect_state::open;
        session.status.heartbeat = heartbeat::alive;
        agent->request_printer_info(id);
        agent->request_objects_list(id);
    });
}

void PrinterConnection::on_fail(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle) {
    run_guarded("on_fail", id, [&] {
        WsConnectionPtr connection = agent->endpoint().get_con_from_hdl(handle);
        const std::error_code ec = connection->get_ec();
        ConnectionState previous = ConnectionState::connecting;
        if (!change_state(gen, ConnectionState::failed, &previous)) {
            log::debug("on_fail:", id, ",superseded,", ec.message());
            return;
        }
        agent->note_connection_ended();
        if (previous == ConnectionState::open) {
            close_connection(agent, std::move(handle));
        } else {
            report_offline(agent);
        }
        error_reason = ec.message();
        log::debug("on_fail:", id, ",", error_reason, ",", ec.value(), ",", connection->get_remote_close_code(),
                   ",", connection->get_remote_close_reason());
        // An open connection that fails ends in on_close, which schedules.
        if (previous != ConnectionState::open) schedule_quick_reconnect(agent, false);
    });
}

void PrinterConnection::on_close(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle) {
    run_guarded("on_close", id, [&] {
        WsConnectionPtr connection = agent->endpoint().get_con_from_hdl(std::move(handle));
        if (!change_state(gen, ConnectionState::closed)) {
            log::debug("on_close:", id, ",superseded");
            return;
        }
        agent->note_connection_ended();
        report_offline(agent);
        const auto code = connection->get_remote_close_code();
        error_reason = text::concat("close code: ", code, " (", websocketpp::close::status::get_string(code),
                                    "), close reason: ", connection->get_remote_close_reason());
        log::debug("on_close:", id, ",", error_reason);
        schedule_quick_reconnect(agent, true);
    });
}

void PrinterConnection::on_message(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle,
                                   MessagePtr message) {
    run_guarded("on_message", id, [&] {
        // Binary messages are none of the printer's; every received text
        // message comes marked (PaddedMessages).
        if (message->get_opcode() != kUncheckedText) return;
        const std::string& text = message->get_payload();
        if (!simdjson::validate_utf8(text.data(), text.size())) {
            fail_not_utf8(agent->endpoint().get_con_from_hdl(std::move(handle)));
            return;
        }
        log::debug("on_message,id:", id, ",", text);
        if (!is_current(gen)) return;
        heard_since_pass_ = true;
        session.handle_message(text, agent->frame_parser(), *agent);
    });
}

void PrinterConnection::on_pong(ConnectionOwner*, std::uint64_t gen, ConnectionHandle, std::string payload) {
    run_guarded("on_pong", id, [&] {
        if (!is_current(gen)) return;
        heard_since_pass_ = true;
        trace::out("pong msg:", payload, id, "\n");
        session.status.heartbeat = heartbeat::alive;
    });
}

void PrinterConnection::on_pong_timeout(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle,
                                        std::string) {
    run_guarded("on_pong_timeout", id, [&] {
        // A late timer of a connection that is gone or no longer open says
        // nothing about the printer's current link.
        if (!is_current(gen) || current_state() != ConnectionState::open) return;
        log::debug("heartbeat timeout", id);
        session.status.heartbeat = heartbeat::pong_timed_out;
        session.report_status(*agent);
    });
}

void PrinterConnection::schedule_quick_reconnect(ConnectionOwner* agent, bool was_open) {
    // Nothing is tried for a printer the host disconnected, nor while the agent stops.
    if (is_removed() || agent->is_stopping()) return;
    const auto delay = rhythm_.next_delay(ReconnectRhythm::Clock::now(), was_open);
    if (!delay) return;
    const std::uint64_t gen = generation();
    // The timer lives in this record, so its handler must not keep the record alive.
    std::weak_ptr<PrinterConnection> weak = weak_from_this();
    rhythm_.arm(agent->endpoint().get_io_service(), *delay, [agent, weak, gen] {
        auto record = weak.lock();
        if (!record) return;
        run_guarded("quick reconnect", record->id, [&] { agent->quick_reconnect(record, gen); });
    });
}

}  // namespace pemra
