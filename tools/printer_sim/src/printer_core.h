// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One simulated printer's API server: the WebSocket endpoint with its
// connections, the JSON-RPC methods, the periodic notifications and the
// faults, around a Klippy simulation and a file/history catalog.
//
// Lives on an io_context it does not own and must only be used on the thread
// running it (Printer and PrinterGroup hand calls over). Held by shared_ptr:
// the WebSocket handlers and timers keep it alive until the last connection
// and timer are gone after shutdown(); its destructor then fires `on_gone`.

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <nlohmann/json.hpp>

#include "catalog.h"
#include "klippy.h"
#include "printer_sim/faults.h"
#include "printer_sim/options.h"
#include "recorder.h"
#include "ws_server.h"

namespace printer_sim::detail {

class RawSession;

class PrinterCore final : public std::enable_shared_from_this<PrinterCore>, private KlippyEvents {
public:
    PrinterCore(boost::asio::io_context& io, PrinterOptions options, std::shared_ptr<Recorder> recorder,
                std::function<void()> on_gone);
    ~PrinterCore();
    PrinterCore(const PrinterCore&) = delete;
    PrinterCore& operator=(const PrinterCore&) = delete;

    // Binds, listens and starts the timers. Throws std::runtime_error.
    void start();
    std::uint16_t port() const { return port_; }
    // Closes the listener, every connection (1001) and the timers.
    void shutdown();

    // Test controls (see Printer for what each does).
    std::string run_gcode(const std::string& script);
    std::string start_print(const std::string& filename);
    std::string klippy_state() const { return klippy_.state(); }
    std::string print_state() const { return klippy_.print_state(); }
    std::string status_text();
    void set_objects(std::vector<std::string> objects);
    void klippy_shutdown(const std::string& reason);
    void klippy_disconnected();
    void klippy_ready();
    void begin_restart();
    void refuse_connections(bool refuse);
    void stall_handshakes(bool stall);
    void hold_handshakes(bool hold);
    void raw_stream(std::optional<RawStream> script);
    void withhold_pongs(bool withhold) { withhold_pongs_ = withhold; }
    void pause_status_updates(bool pause) { status_paused_ = pause; }
    void pause_proc_stats(bool pause) { proc_stats_paused_ = pause; }
    void drop_connections();
    void close_connections(std::uint16_t code, const std::string& reason);
    void restart_server(std::chrono::milliseconds down_for);
    void go_silent(bool silent);
    void refuse_unauthorized(bool refuse) { unauthorized_ = refuse; }
    void set_method_fault(const std::string& method, MethodFault fault) { faults_[method] = std::move(fault); }
    void clear_method_faults() { faults_.clear(); }
    void send_text(const std::string& text, int connection);
    void send_binary(const std::string& bytes, int connection);
    void send_oversized(std::size_t bytes, int connection);
    std::vector<int> open_connections() const;

private:
    struct Connection {
        int number = 0;
        bool open = false;
        bool subscribed = false;
        Subscription subscription;
    };
    struct Request {
        ConnectionHdl hdl;
        nlohmann::json id;
        nlohmann::json params;
        std::string method;
    };
    using Method = void (PrinterCore::*)(const Request&);

    // How the side acceptor takes connections while a fault keeps the
    // WebSocket server from listening.
    enum class SideAccept { none, held, stalled, raw };

    // Listening
    void install_handlers();
    void apply_listener();
    // Both return what kept them from listening (nothing when they did).
    websocketpp::lib::error_code listen_websocket();
    boost::system::error_code listen_aside(SideAccept side);
    // A failure to listen again is reported, not swallowed: a printer that
    // is silently deaf reads to a client as a fault the test never set.
    void report_listen_error(const std::string& what, const std::string& why);
    using SocketPtr = std::shared_ptr<boost::asio::ip::tcp::socket>;
    // Accepts connections on the side acceptor, one after another while it
    // is the current one, and hands each socket to `take`.
    void accept_sockets(void (PrinterCore::*take)(SocketPtr));
    void keep_stalled(SocketPtr socket);  // read by nobody, answered never
    void accept_held();
    void release_held();
    void close_stalled();
    void serve_raw(SocketPtr socket);
    void forget_raw_session(RawSession* ended);
    void close_raw_sessions();

    // Connections
    void on_accepted(ConnectionHdl hdl);
    void on_open(ConnectionHdl hdl);
    // Records the close frame an open connection's client sent (close handler).
    void note_client_close(ConnectionHdl hdl);
    void on_gone(ConnectionHdl hdl);
    void on_message(ConnectionHdl hdl, WsServer::message_ptr message);
    bool on_ping(ConnectionHdl hdl);
    bool on_validate(ConnectionHdl hdl);
    void on_http(ConnectionHdl hdl);
    void send(ConnectionHdl hdl, const std::string& text);
    void broadcast(const std::string& text);
    // Calls fn for every open connection, or only for `connection` when not 0.
    void for_open(int connection, const std::function<void(ConnectionHdl)>& fn);
    void flush_deferred();

    // Time
    Clock::time_point first_step(std::chrono::milliseconds interval) const;
    void schedule_tick();
    void tick();
    void schedule_stats();
    void stats_tick();
    void send_status_updates(Clock::time_point now);
    void after(std::chrono::milliseconds delay, std::function<void()> fn);
    void cancel_timers();
    std::chrono::milliseconds scaled(double milliseconds) const;

    // JSON-RPC
    void handle_text(ConnectionHdl hdl, const std::string& text);
    void dispatch(Request request, bool apply_faults);
    void reply(const Request& r, const nlohmann::json& result);
    void reply_text(const Request& r, std::string_view result_json);
    void reply_error(const Request& r, int code, std::string_view message);
    bool require_klippy(const Request& r);
    void run_script_request(const Request& r, const std::string& script);
    void after_reply(AfterReply action);
    void filament_sequence(bool load);
    void emergency_stop(const std::string& reason);
    nlohmann::json printer_info() const;
    static const std::unordered_map<std::string, Method>& methods();

    void printer_info_method(const Request& r);
    void objects_list(const Request& r);
    void objects_subscribe(const Request& r);
    void objects_query(const Request& r);
    void gcode_script(const Request& r);
    void emergency_stop_method(const Request& r);
    void restart_method(const Request& r);
    void print_start(const Request& r);
    void print_pause(const Request& r);
    void print_resume(const Request& r);
    void print_cancel(const Request& r);
    void server_info(const Request& r);
    void connection_identify(const Request& r);
    void files_list(const Request& r);
    void files_directory(const Request& r);
    void files_metadata(const Request& r);
    void files_delete(const Request& r);
    void history_list(const Request& r);
    void history_get_job(const Request& r);

    // KlippyEvents
    void gcode_response(std::string_view text) override;
    void print_started(const GcodeFile& file) override;
    void print_ended(std::string_view status, double print_duration, double total_duration,
                     double filament_used) override;

    boost::asio::io_context& io_;
    const PrinterOptions options_;
    const std::shared_ptr<Recorder> recorder_;
    std::function<void()> on_gone_;
    WsServer server_;
    std::uint16_t port_ = 0;
    bool stopped_ = false;

    Catalog catalog_;
    Klippy klippy_;
    std::vector<std::string> objects_;
    std::unordered_set<std::string> listed_;
    std::string current_job_;  // history id of the running print

    std::map<ConnectionHdl, Connection, std::owner_less<ConnectionHdl>> connections_;

    boost::asio::steady_timer tick_timer_;
    Clock::time_point next_tick_;
    boost::asio::steady_timer stats_timer_;
    Clock::time_point next_stats_;
    std::list<std::shared_ptr<boost::asio::steady_timer>> one_shots_;
    std::uint64_t restart_generation_ = 0;

    // Faults
    bool refuse_ = false;
    bool stall_ = false;
    bool hold_ = false;
    bool withhold_pongs_ = false;
    bool status_paused_ = false;
    bool proc_stats_paused_ = false;
    bool silent_ = false;
    bool unauthorized_ = false;
    std::uint64_t server_restarts_ = 0;  // a later restart_server overrides an earlier one
    std::unordered_map<std::string, MethodFault> faults_;
    std::optional<RawStream> raw_;
    std::unique_ptr<boost::asio::ip::tcp::acceptor> side_acceptor_;
    SideAccept side_accept_ = SideAccept::none;  // what side_acceptor_ accepts for
    std::vector<SocketPtr> stalled_;
    std::vector<WsServer::connection_ptr> held_;  // accepted, handshake not started yet
    std::vector<std::shared_ptr<RawSession>> raw_sessions_;  // under way

    std::vector<std::string> deferred_;  // notifications sent after the current reply or status frames
    std::string frame_;                  // reused for every status frame
    std::uint64_t frames_numbered_ = 0;  // status frames sent, for PrinterOptions::number_frames
};

}  // namespace printer_sim::detail
