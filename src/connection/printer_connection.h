// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// PrinterConnection: everything the agent keeps about one printer, always held
// by shared_ptr. The registry holds one reference and every handler bound to
// one of its WebSocket connections holds another, so a record that left the
// registry lives on until its last connection is gone.
//
// A record carries one WebSocket connection at a time. Each connect gives it
// a new generation; the handlers of a connection carry the generation they
// were bound with, and a handler of a superseded connection only logs (an
// open one is closed with 1000). So two connections never feed one record.
//
// The conversation with the printer (its frames, status record and pending
// requests) is the record's `session`; the record adds the link that carries
// it and the link's life: opening, closing, liveness and reconnection. It
// reaches the agent only through ConnectionOwner.
//
// Which WebSocket connection a record holds (its handle and URI) is the
// agent's registry's to know; the record keeps the connection's generation
// and state, and whether the host removed it.
//
// Threads: the handlers, the session and the status readers run on the
// agent's io_thread, which alone touches `session.status`, `server`,
// `error_reason`, the reconnection rhythm and the silence count. The link's
// generation and state and the removed mark are read by every thread and
// changed only through their own operations.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "connection/connection_owner.h"
#include "connection/quick_retry_timing.h"
#include "connection/reconnect_rhythm.h"
#include "connection/ws_fwd.h"
#include "protocol/printer_session.h"

namespace pemra {

enum class ConnectionState : std::int32_t { connecting = 0, open = 1, closed = 2, failed = 3 };

class PrinterConnection : public std::enable_shared_from_this<PrinterConnection> {
public:
    explicit PrinterConnection(std::string device_id, const QuickRetryTiming& quick_retry = QuickRetryTiming{});

    // ---- io_thread: connection events --------------------------------------
    void on_open(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle);
    void on_fail(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle);
    void on_close(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle);
    void on_message(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle, MessagePtr message);
    void on_pong(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle, std::string payload);
    void on_pong_timeout(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle, std::string payload);

    // ---- io_thread: liveness -------------------------------------------------
    // Counts the pass silent or not, pings the connection `handle` of
    // generation `gen` and runs tick, when that connection is still the
    // record's current one and open. Only for a pass that kept up (see the
    // agent's liveness pass).
    void ping_and_tick(ConnectionOwner* agent, std::uint64_t gen, ConnectionHandle handle);
    void tick(WsClient* endpoint, ConnectionHandle handle);

    // ---- io_thread: reconnection ---------------------------------------------
    // Resets the four state codes of a reused record and reports them.
    void announce_reconnect(ConnectionOwner* agent);
    // The host connected the printer: a later drop starts a fresh quick rhythm.
    void restart_reconnect_rhythm() { rhythm_.restart(); }

    // ---- any thread ------------------------------------------------------------
    // Sends a text frame when the connection is open; a tracked request goes
    // into the session's pending requests first.
    void send(WsClient* endpoint, ConnectionHandle handle, std::int32_t request_id,
              const std::string& payload, bool track);

    // ---- any thread: the link's generation and state -----------------------
    // Both live in one word and change together, so that an event of one
    // connection never changes the state of another: a host's connect that
    // lands between an event's check of its generation and its change of
    // the state makes that change fail instead of overwriting the new
    // attempt's state.
    std::uint64_t generation() const { return generation_of(link_.load()); }
    bool is_current(std::uint64_t gen) const { return generation() == gen; }
    ConnectionState current_state() const { return state_of(link_.load()); }
    // Sets the state when connection `gen` is still the current one; false
    // (and nothing changed) otherwise. `previous` gets the state it replaced.
    bool change_state(std::uint64_t gen, ConnectionState to, ConnectionState* previous = nullptr);
    // A new connection replaces the current one: the next generation,
    // connecting. Nothing when the current connection is open (an open link
    // is kept), and then the result is empty.
    std::optional<std::uint64_t> begin_attempt();

    // The host disconnected the printer: the record left the registry, and
    // nothing more is tried for it.
    void mark_removed() { removed_.store(true); }
    bool is_removed() const { return removed_.load(); }
    // Attempt `gen` is still worth starting: no newer one took over and the
    // host did not disconnect the printer.
    bool wants_attempt(std::uint64_t gen) const { return is_current(gen) && !is_removed(); }

    // The conversation, and the printer's device id it was opened with.
    protocol::PrinterSession session;
    const std::string& id = session.id;
    std::string server = "N/A";                   // io_thread
    std::string error_reason;                     // io_thread

private:
    static std::uint64_t generation_of(std::uint64_t link) { return link >> 2; }
    static ConnectionState state_of(std::uint64_t link) { return static_cast<ConnectionState>(link & 3u); }
    static std::uint64_t link_of(std::uint64_t gen, ConnectionState state) {
        return gen << 2 | static_cast<std::uint64_t>(state);
    }

    void report_offline(ConnectionOwner* agent);
    void close_connection(ConnectionOwner* agent, ConnectionHandle handle);
    // After a drop (`was_open`) or a failed attempt the host did not ask
    // for: the next quick attempt, if the rhythm still has one.
    void schedule_quick_reconnect(ConnectionOwner* agent, bool was_open);
    // A link that showed no sign of life for too long: dropped at once, its
    // close event reports the printer offline.
    void drop_silent_connection(ConnectionOwner* agent, ConnectionHandle handle);

    std::atomic<std::uint64_t> link_{link_of(1, ConnectionState::connecting)};
    std::atomic<bool> removed_{false};

    // ---- io_thread only --------------------------------------------------------
    ReconnectRhythm rhythm_;
    // Any frame or pong since the last liveness pass.
    bool heard_since_pass_ = true;
    // Liveness passes in a row that found nothing heard since the one before.
    int silent_passes_ = 0;
};

}  // namespace pemra
