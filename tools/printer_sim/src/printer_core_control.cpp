// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Klippy's state changes as the API server announces them (shutdown, restart,
// filament macros) and the controls tests use to steer the printer and to
// inject faults.
#include "printer_core.h"
#include "rpc_text.h"

namespace printer_sim::detail {

namespace asio = boost::asio;

namespace {
constexpr double kRestartMs = 2300.0;        // FIRMWARE_RESTART until Klippy is ready again
constexpr double kFilamentStepMs = 1500.0;   // each step of the filament macros
}  // namespace

void PrinterCore::after_reply(AfterReply action) {
    switch (action) {
        case AfterReply::nothing: break;
        case AfterReply::emergency_stop: emergency_stop("Shutdown due to M112 command"); break;
        case AfterReply::restart: begin_restart(); break;
        case AfterReply::load_filament: filament_sequence(true); break;
        case AfterReply::unload_filament: filament_sequence(false); break;
    }
}

void PrinterCore::emergency_stop(const std::string& reason) {
    if (klippy_.state() == "shutdown") return;
    klippy_.shutdown(reason);
    broadcast(rpc::notification("notify_klippy_shutdown"));
}

void PrinterCore::filament_sequence(bool load) {
    const std::string prefix = load ? "load_filament" : "unload_filament";
    after(scaled(kFilamentStepMs), [this, prefix] {
        if (klippy_.ready()) gcode_response(prefix + " heating completed");
    });
    after(scaled(2 * kFilamentStepMs), [this, prefix] {
        if (klippy_.ready()) gcode_response(prefix + " done");
    });
}

void PrinterCore::begin_restart() {
    // Klippy goes away, the API server forgets every subscription, a new
    // Klippy starts up and reports ready. A later restart overrides this one.
    const std::uint64_t generation = ++restart_generation_;
    klippy_disconnected();
    after(scaled(kRestartMs * 0.4), [this, generation] {
        if (generation == restart_generation_) klippy_.start_up();
    });
    // Klippy is ready a moment before the API server announces it.
    after(scaled(kRestartMs * 0.95), [this, generation] {
        if (generation == restart_generation_) klippy_.become_ready();
    });
    after(scaled(kRestartMs), [this, generation] {
        if (generation == restart_generation_) klippy_ready();
    });
}

void PrinterCore::klippy_shutdown(const std::string& reason) {
    ++restart_generation_;
    emergency_stop(reason);
}

void PrinterCore::klippy_disconnected() {
    klippy_.advance(Clock::now());
    klippy_.disconnect();
    for (auto& [hdl, connection] : connections_) {
        connection.subscribed = false;
        connection.subscription = Subscription{};
    }
    broadcast(rpc::notification("notify_klippy_disconnected"));
    flush_deferred();
}

void PrinterCore::klippy_ready() {
    if (klippy_.state() != "ready") {
        if (klippy_.state() == "disconnected") klippy_.start_up();
        klippy_.become_ready();
    }
    broadcast(rpc::notification("notify_klippy_ready"));
}

std::string PrinterCore::run_gcode(const std::string& script) {
    klippy_.advance(Clock::now());
    ScriptResult outcome = klippy_.run_script(script);
    after_reply(outcome.after);
    flush_deferred();
    return outcome.error ? *outcome.error : std::string("ok");
}

std::string PrinterCore::start_print(const std::string& filename) {
    klippy_.advance(Clock::now());
    auto error = klippy_.start_print(filename);
    flush_deferred();
    return error ? *error : std::string("ok");
}

std::string PrinterCore::status_text() {
    const auto now = Clock::now();
    klippy_.advance(now);
    klippy_.publish(now, false);
    std::vector<SubscriptionRequest> all;
    for (const auto& name : objects_) all.push_back(SubscriptionRequest{name, true, {}, true});
    std::string out;
    klippy_.board().write_full(out, klippy_.board().resolve(all));
    return out;
}

void PrinterCore::set_objects(std::vector<std::string> objects) {
    objects_ = std::move(objects);
    listed_ = std::unordered_set<std::string>(objects_.begin(), objects_.end());
}

void PrinterCore::refuse_connections(bool refuse) {
    refuse_ = refuse;
    apply_listener();
}

void PrinterCore::stall_handshakes(bool stall) {
    stall_ = stall;
    apply_listener();
}

void PrinterCore::hold_handshakes(bool hold) {
    hold_ = hold;
    if (!hold) release_held();
    apply_listener();
}

void PrinterCore::drop_connections() {
    websocketpp::lib::error_code ec;
    for (auto& [hdl, connection] : connections_) {
        if (auto con = server_.get_con_from_hdl(hdl, ec)) {
            boost::system::error_code ignored;
            con->get_raw_socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        }
    }
    boost::system::error_code ignored;
    for (auto& socket : stalled_) socket->close(ignored);
    stalled_.clear();
}

void PrinterCore::close_connections(std::uint16_t code, const std::string& reason) {
    websocketpp::lib::error_code ec;
    for_open(0, [&](ConnectionHdl hdl) { server_.close(hdl, code, reason, ec); });
}

void PrinterCore::restart_server(std::chrono::milliseconds down_for) {
    const std::uint64_t restart = ++server_restarts_;
    close_connections(websocketpp::close::status::going_away, "Server Shutdown");
    refuse_connections(true);
    after(down_for, [this, restart] {
        if (restart == server_restarts_) refuse_connections(false);
    });
}

void PrinterCore::go_silent(bool silent) {
    silent_ = silent;
    // New connections wait in their handshake while the server hangs.
    hold_handshakes(silent);
}

void PrinterCore::send_text(const std::string& text, int connection) {
    for_open(connection, [&](ConnectionHdl hdl) { send(hdl, text); });
}

void PrinterCore::send_binary(const std::string& bytes, int connection) {
    websocketpp::lib::error_code ec;
    for_open(connection,
             [&](ConnectionHdl hdl) { server_.send(hdl, bytes.data(), bytes.size(), websocketpp::frame::opcode::binary, ec); });
}

void PrinterCore::send_oversized(std::size_t bytes, int connection) {
    std::string text = R"({"jsonrpc":"2.0","method":"notify_gcode_response","params":["// )";
    constexpr std::string_view tail = R"("]})";
    if (bytes > text.size() + tail.size()) text.append(bytes - text.size() - tail.size(), 'x');
    text.append(tail);
    send_text(text, connection);
}

}  // namespace printer_sim::detail
