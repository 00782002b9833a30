// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One simulated Klipper printer behind a WebSocket JSON-RPC API server,
// listening on its own TCP port.
//
// A Printer built directly owns an io thread; one made by PrinterGroup::add
// shares the group's. Either way every method below may be called from any
// thread except that io thread (from there they would wait for themselves):
// the control methods hand their work to the io thread and wait until it is
// done, so when they return the printer has acted (frames are queued for
// sending, the listening socket is open or closed, ...). The recording
// accessors read under their own lock and never wait for the io thread.
//
// Blocking: start (in the constructor), stop and restart take milliseconds:
// open connections are closed with code 1001 and given up to half a second to
// answer the close frame before they are dropped. wait_* block up to their
// timeout.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "printer_sim/faults.h"
#include "printer_sim/options.h"
#include "printer_sim/recording.h"

namespace printer_sim {

namespace detail {
class GoneSignal;
class IoThread;
class PrinterCore;
class Recorder;
}  // namespace detail

class PrinterGroup;

class Printer {
public:
    // Starts listening at once. Throws std::runtime_error if the port cannot be bound.
    explicit Printer(PrinterOptions options = {});
    ~Printer();  // stops
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    std::uint16_t port() const { return port_; }
    std::string address() const;  // "127.0.0.1:PORT"
    const PrinterOptions& options() const { return options_; }

    // Closes every connection (code 1001) and the listening socket; joins the
    // io thread if this printer owns it. Idempotent.
    void stop();
    bool running() const;
    // Like a reboot of the printer's computer: stops, then listens again on
    // the same port with the state the options describe (files, history,
    // temperatures, ...). The recording and the counters are kept.
    void restart();

    // ---- What clients sent ----------------------------------------------------
    std::vector<ReceivedFrame> received() const;
    void clear_received();
    // Waits until pred holds over the received frames (checked at once and after
    // every change); false on timeout.
    bool wait_received(const std::function<bool(const std::vector<ReceivedFrame>&)>& pred,
                       std::chrono::milliseconds timeout) const;
    // Waits until some received frame's text equals `text`.
    bool wait_for_text(const std::string& text, std::chrono::milliseconds timeout) const;
    ConnectionCounters counters() const;
    // How the connections that were open ended, in order (close code and
    // reason the client sent), raw_stream sessions among them.
    std::vector<ClientClose> closes() const;
    bool wait_closes(const std::function<bool(const std::vector<ClientClose>&)>& pred,
                     std::chrono::milliseconds timeout) const;
    bool wait_counters(const std::function<bool(const ConnectionCounters&)>& pred,
                       std::chrono::milliseconds timeout) const;
    // Why the printer could not listen again after a fault ended (refused
    // connections allowed again, a server restart over, stalled handshakes
    // over): one line each, oldest first. Such a printer stays deaf until
    // the next fault change; each failure also goes to standard error.
    std::vector<std::string> listen_errors() const;

    // ---- Printer state ---------------------------------------------------------
    // Runs a G-code script as printer.gcode.script would (responses go to the
    // clients); returns "ok" or the error message.
    std::string run_gcode(const std::string& script);
    // Starts printing a file of the printer; returns "ok" or the error message.
    std::string start_print(const std::string& filename);
    std::string klippy_state() const;  // "ready", "startup", "shutdown", "error", "disconnected"
    std::string print_state() const;   // print_stats.state
    // Current status of every modelled object, as a subscription to all of them
    // would report it (JSON text).
    std::string status_text() const;
    // Replaces the object list printer.objects.list reports (faults: objects
    // missing, an empty list, odd names).
    void set_objects(std::vector<std::string> objects);

    // ---- Klippy events ---------------------------------------------------------
    // Each sends the matching notify_klippy_* to every client and changes the state.
    void klippy_shutdown(const std::string& reason = "Shutdown due to webhooks request");
    void klippy_disconnected();  // also drops every subscription
    void klippy_ready();
    // The FIRMWARE_RESTART sequence: disconnected now, ready 2.3 s / speed later.
    void begin_restart();

    // ---- Faults -----------------------------------------------------------------
    // Closes the listening socket (connects are refused); false reopens it.
    void refuse_connections(bool refuse);
    // Accepts TCP connections but never answers their WebSocket handshake;
    // false releases the stalled ones and accepts normally again.
    void stall_handshakes(bool stall);
    // Accepts TCP connections but starts their WebSocket handshake only when
    // released with false: a printer that answers late.
    void hold_handshakes(bool hold);
    // A hostile network: while set, every new TCP connection is served by
    // the script instead of the WebSocket server. The upgrade request is
    // read, answered as the script says, the chunks are written, then the
    // printer stops sending and reads until the client closes. counters()
    // counts these sessions and those the client ended. nullopt serves
    // normally again; sessions under way play to their end. Refused, stalled
    // or held connections take precedence while set.
    void raw_stream(std::optional<RawStream> script);
    void withhold_pongs(bool withhold);
    void pause_status_updates(bool pause);
    void pause_proc_stats(bool pause);
    // Shuts every open connection's socket without a close frame.
    void drop_connections();
    // Closes every open connection with this close frame.
    void close_connections(std::uint16_t code, const std::string& reason);
    // The API server restarting, as its updater does: every client is closed
    // with 1001, connects are refused, and after `down_for` the server
    // listens again. Returns at once.
    void restart_server(std::chrono::milliseconds down_for);
    // A hung server on a live host: the open connections stay, but no ping
    // is answered, no request is answered and nothing is sent; new
    // connections are accepted but their handshake waits. false ends it:
    // held handshakes go on, and so does everything else.
    void go_silent(bool silent);
    // The API server does not trust the client: every request is answered
    // with the error -32602 "Unauthorized".
    void refuse_unauthorized(bool refuse);
    void set_method_fault(const std::string& method, MethodFault fault);
    void clear_method_faults();
    // Sends a text frame as is (malformed JSON, wrong types, anything) to every
    // open connection, or only to `connection` when it is not 0.
    void send_text(const std::string& text, int connection = 0);
    void send_binary(const std::string& bytes, int connection = 0);
    // Sends a valid notify_gcode_response padded to exactly `bytes` bytes.
    void send_oversized(std::size_t bytes, int connection = 0);
    // Connection numbers of the open connections.
    std::vector<int> open_connections() const;

private:
    friend class PrinterGroup;
    Printer(std::shared_ptr<detail::IoThread> io, PrinterOptions options, bool owns_io);

    // Both with lifecycle_mutex_ held.
    void start_core();
    void stop_core();
    template <typename F>
    auto on_core(F&& fn) const;

    const PrinterOptions options_;
    const std::shared_ptr<detail::IoThread> io_;
    const bool owns_io_;
    const std::shared_ptr<detail::Recorder> recorder_;
    mutable std::mutex lifecycle_mutex_;
    std::shared_ptr<detail::PrinterCore> core_;  // guarded by lifecycle_mutex_
    std::shared_ptr<detail::GoneSignal> gone_;   // guarded by lifecycle_mutex_; set when core_ is destroyed
    std::uint16_t port_ = 0;                     // set in the constructor, then constant
};

}  // namespace printer_sim
