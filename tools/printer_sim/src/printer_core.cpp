// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The printer's WebSocket endpoint: listening (normally, stalled or not at
// all), its connections, and the timers that drive status notifications.
#include "printer_core.h"

#include <cstdio>
#include <stdexcept>

#include <boost/asio/ip/address.hpp>

#include "json_out.h"
#include "rpc_text.h"

namespace printer_sim::detail {

namespace asio = boost::asio;

PrinterCore::PrinterCore(asio::io_context& io, PrinterOptions options, std::shared_ptr<Recorder> recorder,
                         std::function<void()> on_gone)
    : io_(io),
      options_(std::move(options)),
      recorder_(std::move(recorder)),
      on_gone_(std::move(on_gone)),
      catalog_(options_.files, options_.history),
      klippy_(options_, *this, [this](std::string_view name) { return catalog_.find_file(name); },
              Clock::now()),
      objects_(options_.objects),
      listed_(objects_.begin(), objects_.end()),
      tick_timer_(io),
      stats_timer_(io) {
    server_.clear_access_channels(websocketpp::log::alevel::all);
    server_.clear_error_channels(websocketpp::log::elevel::all);
    server_.init_asio(&io_);
    server_.set_reuse_addr(true);
    server_.set_user_agent(options_.server_header);
    server_.set_close_handshake_timeout(500);
    server_.set_open_handshake_timeout(5000);
    server_.set_listen_backlog(64);
    server_.set_max_message_size(64u << 20);
    frame_.reserve(2048);
    // websocketpp records the machine's byte order in a function-local static
    // on the first 64-bit frame length it meets. Settle it on the creating
    // thread, so that the threads serving frames only ever read it.
    static_cast<void>(websocketpp::lib::net::_htonll(0));
}

PrinterCore::~PrinterCore() {
    if (on_gone_) on_gone_();
}

void PrinterCore::install_handlers() {
    // The handlers hold the core: every connection copies them, so the core
    // outlives its last connection. shutdown() lets go of them again.
    auto self = shared_from_this();
    server_.set_tcp_post_init_handler([self](ConnectionHdl hdl) { self->on_accepted(hdl); });
    server_.set_validate_handler([self](ConnectionHdl hdl) { return self->on_validate(hdl); });
    server_.set_http_handler([self](ConnectionHdl hdl) { self->on_http(hdl); });
    server_.set_open_handler([self](ConnectionHdl hdl) { self->on_open(hdl); });
    server_.set_close_handler([self](ConnectionHdl hdl) {
        self->note_client_close(hdl);
        self->on_gone(hdl);
    });
    server_.set_fail_handler([self](ConnectionHdl hdl) { self->on_gone(hdl); });
    server_.set_message_handler(
        [self](ConnectionHdl hdl, WsServer::message_ptr message) { self->on_message(hdl, std::move(message)); });
    server_.set_ping_handler([self](ConnectionHdl hdl, std::string) { return self->on_ping(hdl); });
}

void PrinterCore::start() {
    install_handlers();
    const auto why = listen_websocket();
    if (!server_.is_listening()) {
        shutdown();
        throw std::runtime_error("printer simulator: cannot listen on " + options_.bind_address + ":" +
                                 std::to_string(options_.port) + (why ? ": " + why.message() : std::string()));
    }
    next_tick_ = first_step(options_.update_interval);
    next_stats_ = first_step(options_.stats_interval);
    schedule_tick();
    schedule_stats();
    if (!options_.autoprint_file.empty()) start_print(options_.autoprint_file);
}

void PrinterCore::shutdown() {
    if (stopped_) return;
    stopped_ = true;
    cancel_timers();
    websocketpp::lib::error_code ec;
    if (server_.is_listening()) server_.stop_listening(ec);
    close_stalled();
    close_raw_sessions();
    for (auto& [hdl, connection] : connections_) {
        if (connection.open) {
            server_.close(hdl, websocketpp::close::status::going_away, "Server shutdown", ec);
        } else if (auto con = server_.get_con_from_hdl(hdl, ec)) {
            // Still in its handshake: nothing to say goodbye to.
            boost::system::error_code ignored;
            con->get_raw_socket().shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
        }
    }
    server_.set_tcp_post_init_handler(nullptr);
    server_.set_validate_handler(nullptr);
    server_.set_http_handler(nullptr);
    server_.set_open_handler(nullptr);
    server_.set_close_handler(nullptr);
    server_.set_fail_handler(nullptr);
    server_.set_message_handler(nullptr);
    server_.set_ping_handler(nullptr);
}

// ---- Listening ---------------------------------------------------------------

void PrinterCore::apply_listener() {
    if (stopped_) return;
    websocketpp::lib::error_code ec;
    // The faults that take connections aside, the strongest first.
    const SideAccept side = refuse_ ? SideAccept::none
                            : hold_ ? SideAccept::held
                            : stall_ ? SideAccept::stalled
                            : raw_  ? SideAccept::raw
                                    : SideAccept::none;
    const bool want_websocket = !refuse_ && side == SideAccept::none;
    if (!want_websocket && server_.is_listening()) server_.stop_listening(ec);
    if (side == SideAccept::none) {
        close_stalled();
    } else if (side_acceptor_ && side_accept_ != side) {
        // Connections it took keep their fate; new ones get the new one's.
        boost::system::error_code ignored;
        side_acceptor_->close(ignored);
        side_acceptor_.reset();
    }
    if (want_websocket && !server_.is_listening()) {
        if (const auto why = listen_websocket()) report_listen_error("cannot listen again", why.message());
    }
    if (side != SideAccept::none && !side_acceptor_) {
        if (const auto why = listen_aside(side)) report_listen_error("cannot listen for stalled handshakes", why.message());
    }
}

void PrinterCore::report_listen_error(const std::string& what, const std::string& why) {
    const std::string line = "printer " + options_.hostname + " on " + options_.bind_address + ":" +
                             std::to_string(port_) + " " + what + ": " + why;
    std::fprintf(stderr, "pemra-printer-sim: %s\n", line.c_str());
    recorder_->note_listen_error(line);
}

websocketpp::lib::error_code PrinterCore::listen_websocket() {
    websocketpp::lib::error_code ec;
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(options_.bind_address), port_ ? port_ : options_.port);
    server_.listen(endpoint, ec);
    if (ec) return ec;
    boost::system::error_code local_ec;
    port_ = server_.get_local_endpoint(local_ec).port();
    server_.start_accept(ec);
    return ec;
}

boost::system::error_code PrinterCore::listen_aside(SideAccept side) {
    auto acceptor = std::make_unique<asio::ip::tcp::acceptor>(io_);
    const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(options_.bind_address), port_);
    boost::system::error_code ec;
    acceptor->open(endpoint.protocol(), ec);
    if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor->bind(endpoint, ec);
    if (!ec) acceptor->listen(64, ec);
    if (ec) return ec;
    side_acceptor_ = std::move(acceptor);
    side_accept_ = side;
    switch (side) {
        case SideAccept::held: accept_held(); break;
        case SideAccept::stalled: accept_sockets(&PrinterCore::keep_stalled); break;
        case SideAccept::raw: accept_sockets(&PrinterCore::serve_raw); break;
        case SideAccept::none: break;
    }
    return ec;
}

void PrinterCore::accept_sockets(void (PrinterCore::*take)(SocketPtr)) {
    auto socket = std::make_shared<asio::ip::tcp::socket>(io_);
    auto self = shared_from_this();
    asio::ip::tcp::acceptor* acceptor = side_acceptor_.get();
    acceptor->async_accept(*socket, [self, socket, acceptor, take](const boost::system::error_code& ec) {
        if (ec || self->side_acceptor_.get() != acceptor) return;
        self->recorder_->note_accepted();
        ((*self).*take)(socket);
        self->accept_sockets(take);
    });
}

void PrinterCore::keep_stalled(SocketPtr socket) { stalled_.push_back(std::move(socket)); }

// Accepts into a WebSocket connection of the server but leaves its handshake
// unstarted until release_held: a printer that answers the handshake late.
void PrinterCore::accept_held() {
    auto connection = server_.get_connection();
    auto self = shared_from_this();
    asio::ip::tcp::acceptor* acceptor = side_acceptor_.get();
    acceptor->async_accept(connection->get_raw_socket(), [self, connection, acceptor](const boost::system::error_code& ec) {
        if (ec || self->side_acceptor_.get() != acceptor) return;
        self->recorder_->note_held();
        self->held_.push_back(connection);
        self->accept_held();
    });
}

void PrinterCore::release_held() {
    auto held = std::move(held_);
    held_.clear();
    for (auto& connection : held) connection->start();
}

void PrinterCore::close_stalled() {
    boost::system::error_code ec;
    if (side_acceptor_) side_acceptor_->close(ec);
    side_acceptor_.reset();
    for (auto& socket : stalled_) socket->close(ec);
    stalled_.clear();
    for (auto& connection : held_) connection->get_raw_socket().close(ec);
    held_.clear();
}

// ---- Connections -------------------------------------------------------------

void PrinterCore::on_accepted(ConnectionHdl hdl) {
    // Small frames go out at once, as the real server sends them.
    websocketpp::lib::error_code ec;
    if (auto con = server_.get_con_from_hdl(hdl, ec)) {
        boost::system::error_code ignored;
        con->get_raw_socket().set_option(asio::ip::tcp::no_delay(true), ignored);
    }
    Connection connection;
    connection.number = recorder_->note_accepted();
    connections_[hdl] = std::move(connection);
}

bool PrinterCore::on_validate(ConnectionHdl hdl) {
    auto con = server_.get_con_from_hdl(hdl);
    const std::string& resource = con->get_resource();
    if (resource == "/websocket" || resource.rfind("/websocket?", 0) == 0) return true;
    con->set_status(websocketpp::http::status_code::not_found);
    return false;
}

void PrinterCore::on_http(ConnectionHdl hdl) {
    auto con = server_.get_con_from_hdl(hdl);
    con->set_status(websocketpp::http::status_code::not_found);
    con->set_body(R"({"error":{"code":404,"message":"Not Found"}})");
    con->append_header("Content-Type", "application/json");
}

void PrinterCore::on_open(ConnectionHdl hdl) {
    auto found = connections_.find(hdl);
    if (found == connections_.end()) return;
    found->second.open = true;
    recorder_->note_opened();
}

void PrinterCore::note_client_close(ConnectionHdl hdl) {
    auto found = connections_.find(hdl);
    if (found == connections_.end() || !found->second.open) return;
    std::error_code ec;
    auto connection = server_.get_con_from_hdl(hdl, ec);
    if (ec) return;
    recorder_->note_client_close({std::chrono::steady_clock::now(), found->second.number,
                                  connection->get_remote_close_code(), connection->get_remote_close_reason()});
}

void PrinterCore::on_gone(ConnectionHdl hdl) {
    auto found = connections_.find(hdl);
    if (found == connections_.end()) return;
    if (found->second.open) recorder_->note_closed();
    connections_.erase(found);
}

void PrinterCore::on_message(ConnectionHdl hdl, WsServer::message_ptr message) {
    auto found = connections_.find(hdl);
    if (found == connections_.end()) return;
    if (message->get_opcode() != websocketpp::frame::opcode::text) {
        // The API server reads text frames only.
        recorder_->note_binary();
        return;
    }
    if (options_.record_frames) recorder_->note_frame(found->second.number, message->get_payload());
    if (stopped_) return;
    handle_text(hdl, message->get_payload());
    flush_deferred();
}

bool PrinterCore::on_ping(ConnectionHdl) {
    recorder_->note_ping();
    if (withhold_pongs_ || silent_) return false;
    recorder_->note_pong();
    return true;
}

void PrinterCore::send(ConnectionHdl hdl, const std::string& text) {
    if (silent_) return;
    websocketpp::lib::error_code ec;
    server_.send(hdl, text, websocketpp::frame::opcode::text, ec);
}

void PrinterCore::broadcast(const std::string& text) {
    for (auto& [hdl, connection] : connections_) {
        if (connection.open) send(hdl, text);
    }
}

void PrinterCore::for_open(int connection, const std::function<void(ConnectionHdl)>& fn) {
    for (auto& [hdl, c] : connections_) {
        if (c.open && (connection == 0 || c.number == connection)) fn(hdl);
    }
}

void PrinterCore::flush_deferred() {
    if (deferred_.empty()) return;
    std::vector<std::string> pending;
    pending.swap(deferred_);
    for (const auto& text : pending) broadcast(text);
}

std::vector<int> PrinterCore::open_connections() const {
    std::vector<int> numbers;
    for (const auto& [hdl, connection] : connections_) {
        if (connection.open) numbers.push_back(connection.number);
    }
    return numbers;
}

// ---- Time --------------------------------------------------------------------

std::chrono::milliseconds PrinterCore::scaled(double milliseconds) const {
    const double speed = options_.speed > 0 ? options_.speed : 1.0;
    return std::chrono::milliseconds(static_cast<std::int64_t>(milliseconds / speed + 0.5));
}

Clock::time_point PrinterCore::first_step(std::chrono::milliseconds interval) const {
    // Periodic work runs on a grid of 10 ms slots, each printer in the slot
    // its port picks. A farm then wakes the io thread at most 100 times a
    // second however many printers it serves, yet its printers do not all
    // send at the same instant.
    constexpr std::chrono::milliseconds kSlot{10};
    const auto now = Clock::now();
    if (interval < 2 * kSlot) return now - interval;
    const auto since_epoch = now.time_since_epoch();
    const auto phase = kSlot * (port_ % (interval / kSlot));
    Clock::time_point step(since_epoch - since_epoch % interval + phase);
    if (step <= now) step += interval;
    return step - interval;  // the schedulers add one interval first
}

void PrinterCore::schedule_tick() {
    // Fixed steps on the grid, so the rate does not drift with load; steps
    // missed under load are skipped.
    next_tick_ += options_.update_interval;
    const auto now = Clock::now();
    while (next_tick_ < now) next_tick_ += options_.update_interval;
    tick_timer_.expires_at(next_tick_);
    auto self = shared_from_this();
    tick_timer_.async_wait([self](const boost::system::error_code& ec) {
        if (ec || self->stopped_) return;
        self->tick();
        self->schedule_tick();
    });
}

void PrinterCore::tick() {
    const auto now = Clock::now();
    klippy_.advance(now);
    // A hung server sends nothing; its frames are not numbered either, so
    // a client that stays connected through it has lost none.
    if (!status_paused_ && !silent_) send_status_updates(now);
    flush_deferred();
}

void PrinterCore::send_status_updates(Clock::time_point now) {
    bool any = false;
    for (const auto& [hdl, connection] : connections_) any = any || (connection.open && connection.subscribed);
    if (!any) return;

    klippy_.publish(now, options_.stamp_send_time);
    // Only here, once per status frame: a subscription's reply publishes
    // too, and must not use up a number the other connections never see.
    if (options_.number_frames) klippy_.number_frame(++frames_numbered_);
    const StatusBoard& board = klippy_.board();
    const double eventtime = klippy_.eventtime(now);
    for (auto& [hdl, connection] : connections_) {
        if (!connection.open || !connection.subscribed) continue;
        frame_.clear();
        frame_ += R"({"jsonrpc":"2.0","method":"notify_status_update","params":[)";
        if (!board.write_changes(frame_, connection.subscription, connection.subscription.sent_version)) continue;
        frame_.push_back(',');
        json_out::number(frame_, eventtime);
        frame_ += "]}";
        connection.subscription.sent_version = board.version();
        send(hdl, frame_);
    }
}

void PrinterCore::schedule_stats() {
    next_stats_ += options_.stats_interval;
    const auto now = Clock::now();
    while (next_stats_ < now) next_stats_ += options_.stats_interval;
    stats_timer_.expires_at(next_stats_);
    auto self = shared_from_this();
    stats_timer_.async_wait([self](const boost::system::error_code& ec) {
        if (ec || self->stopped_) return;
        self->stats_tick();
        self->schedule_stats();
    });
}

void PrinterCore::stats_tick() {
    const auto now = Clock::now();
    klippy_.publish_stats(now);
    if (proc_stats_paused_) return;
    int open = 0;
    for (const auto& [hdl, connection] : connections_) open += connection.open ? 1 : 0;
    if (open == 0) return;
    frame_.clear();
    const double wall = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    klippy_.machine_stats().write_proc_stat(frame_, wall, open);
    broadcast(frame_);
}

void PrinterCore::after(std::chrono::milliseconds delay, std::function<void()> fn) {
    auto timer = std::make_shared<asio::steady_timer>(io_, delay);
    one_shots_.push_back(timer);
    auto self = shared_from_this();
    timer->async_wait([self, timer, fn = std::move(fn)](const boost::system::error_code& ec) {
        self->one_shots_.remove(timer);
        if (ec || self->stopped_) return;
        fn();
        self->flush_deferred();
    });
}

void PrinterCore::cancel_timers() {
    tick_timer_.cancel();
    stats_timer_.cancel();
    for (auto& timer : one_shots_) timer->cancel();
}

}  // namespace printer_sim::detail
