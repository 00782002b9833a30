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
// Threads: the handlers, the dispatcher and the status readers run on the
// agent's io_thread, which alone touches `status`, `server` and
// `error_reason`. `state` is read by every thread. `hdl`, `uri` and
// `generation` change only under the agent's connections_mutex.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "connection/outbound_queue.h"
#include "connection/quick_retry_timing.h"
#include "connection/reconnect_rhythm.h"
#include "connection/ws_fwd.h"
#include "pemra_network/machine_status.h"

namespace pemra {

class PrinterManager;

enum ConnectionState : std::int32_t { Connecting = 0, Open = 1, Closed = 2, Failed = 3 };

class PrinterConnection : public std::enable_shared_from_this<PrinterConnection> {
public:
    PrinterConnection(std::string device_id, ConnectionHandle handle, std::string connect_uri,
                      const QuickRetryTiming& quick_retry = QuickRetryTiming{});

    // ---- io_thread: connection events --------------------------------------
    void on_open(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle);
    void on_fail(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle);
    void on_close(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle);
    void on_message(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle, MessagePtr message);
    void on_pong(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle, std::string payload);
    void on_pong_timeout(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle, std::string payload);

    // ---- io_thread: liveness -------------------------------------------------
    // Pings the connection `handle` of generation `gen` and runs tick, when
    // that connection is still the record's current one and open; `posted`
    // is when the pass handed this to io_thread.
    void ping_and_tick(PrinterManager* agent, std::uint64_t gen, ConnectionHandle handle,
                       std::chrono::steady_clock::time_point posted);
    void tick(WsClient* endpoint, ConnectionHandle handle);

    // ---- io_thread: reconnection ---------------------------------------------
    // Resets the four state codes of a reused record and reports them.
    void announce_reconnect(PrinterManager* agent);
    // The host connected the printer: a later drop starts a fresh quick rhythm.
    void restart_reconnect_rhythm() { rhythm.restart(); }

    // ---- io_thread: inbound messages ----------------------------------------
    void handle_message(PrinterManager* agent, const std::string& text);
    // Hands one status element to the status readers and reports the record.
    void apply_status_update(PrinterManager* agent, const nlohmann::json& status_element);

    // ---- any thread ------------------------------------------------------------
    // Sends a text frame when the connection is open; a tracked request goes
    // into `pending` first.
    void send(WsClient* endpoint, ConnectionHandle handle, std::int32_t request_id,
              const std::string& payload, bool track);
    void add_pending(std::int32_t request_id, const OutboundMessage& message);
    std::map<std::int32_t, OutboundMessage> pending_snapshot() const;

    bool is_current(std::uint64_t gen) const { return generation.load() == gen; }
    ConnectionState current_state() const { return state.load(); }

    const std::string id;
    ConnectionHandle hdl;                         // guarded by connections_mutex
    std::atomic<ConnectionState> state{Connecting};
    std::string uri;                              // guarded by connections_mutex
    std::atomic<std::uint64_t> generation{1};     // written under connections_mutex
    std::atomic<bool> removed{false};             // left the registry through close
    std::string server = "N/A";                   // io_thread
    std::string error_reason;                     // io_thread
    MachineStatus status;                         // io_thread

    // Status elements applied since the last liveness tick.
    std::atomic<std::int32_t> status_updates{0};

    // ---- io_thread only --------------------------------------------------------
    ReconnectRhythm rhythm;
    // Any frame or pong since the last liveness pass.
    bool heard_since_pass = true;
    // Liveness passes in a row that found nothing heard since the one before.
    int silent_passes = 0;
    // The printer refused the plug-in on this connection, and the host was told.
    bool refusal_told = false;
    // printer.info was answered with "firmware not connected": ask again when
    // the firmware comes up, or the printer's name stays unknown.
    bool identity_wanted = false;

private:
    void route_reply(PrinterManager* agent, const std::string& text, const nlohmann::json& doc,
                     const nlohmann::json& id_value);
    void route_notification(PrinterManager* agent, const std::string& text, const nlohmann::json& doc,
                            const nlohmann::json& method_value);
    void subscribe_objects(PrinterManager* agent, const std::string& text, const nlohmann::json& doc);
    void apply_history_changed(PrinterManager* agent, const nlohmann::json& doc);
    void apply_klippy_state(PrinterManager* agent, std::int32_t klippy_state);
    void report_error_reply(PrinterManager* agent, std::int32_t reply_id, const nlohmann::json& error);
    void report_status(PrinterManager* agent);
    void close_connection(PrinterManager* agent, ConnectionHandle handle);
    // After a drop (`was_open`) or a failed attempt the host did not ask
    // for: the next quick attempt, if the rhythm still has one.
    void schedule_quick_reconnect(PrinterManager* agent, bool was_open);
    // A link that showed no sign of life for too long: dropped at once, its
    // close event reports the printer offline.
    void drop_silent_connection(PrinterManager* agent, ConnectionHandle handle);

    mutable std::mutex pending_mutex;
    std::map<std::int32_t, OutboundMessage> pending;  // guarded by pending_mutex
};

}  // namespace pemra
