// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "agent/printer_manager.h"

#include <algorithm>
#include <system_error>
#include <utility>
#include <vector>

#include <boost/asio/post.hpp>

#include "base/exception_firewall.h"
#include "base/log.h"
#include "connection/address_resolver.h"
#include "connection/batched_event_loop.h"
#include "connection/printer_connection.h"
#include "connection/ws_client.h"
#include "platform/platform.h"

namespace pemra {
namespace {

// Which agent thread the calling thread is, if any.
thread_local const PrinterManager* tls_owner = nullptr;
thread_local bool tls_network_thread = false;

// How long stop waits for open printers to answer its closing handshakes.
constexpr std::chrono::milliseconds kCloseHandOver{1000};

}  // namespace

PrinterManager::PrinterManager(const Timings& timings)
    : timings_(timings),
      client_(std::make_unique<WsClient>()),
      outbound_(OutboundQueue::kCapacity, timings.queue_wait) {}

PrinterManager::~PrinterManager() { stop(); }

void PrinterManager::start() {
    std::lock_guard<std::mutex> guard(start_mutex_);
    if (event_loop_ready_ || stopping_.load()) {
        // The client refuses a second initialisation and says so by throwing.
        client_->init_asio();
        return;
    }
    client_->clear_access_channels(websocketpp::log::alevel::all);
    client_->clear_error_channels(websocketpp::log::elevel::all);
    client_->init_asio();
    event_loop_ready_ = true;
    resolver_ = std::make_unique<AddressResolver>(client_->get_io_service(), timings_.name_lookup_timeout,
                                                  timings_.lookup_held);
    event_loop_ = std::make_unique<BatchedEventLoop>(client_->get_io_service(), timings_.batch_pause);
    client_->set_open_handshake_timeout(static_cast<long>(timings_.open_handshake_timeout.count()));
    client_->set_pong_timeout(static_cast<long>(timings_.pong_timeout.count()));
    client_->start_perpetual();
    // The WebSocket library learns the machine's byte order on the first
    // 64-bit frame length it encodes or decodes, by writing a function-local
    // static. Settle it here, so that the network and send threads, which
    // both meet such lengths, only ever read it.
    static_cast<void>(websocketpp::lib::net::_htonll(0));
    try {
        io_thread_ = std::make_shared<std::thread>([this] { run_event_loop(); });
        send_thread_ = std::make_shared<std::thread>([this] { do_send_loop(); });
        check_thread_ = std::make_shared<std::thread>([this] { do_socket_check_loop(); });
        started_.store(true);
    } catch (const std::system_error& e) {
        // The threads that did start keep running until stop.
        log::error("agent start failed: ", e.what());
    }
}

void PrinterManager::stop() {
    if (on_own_thread()) {
        log::error("agent stop called from one of its own threads: ignored");
        return;
    }
    std::lock_guard<std::mutex> guard(start_mutex_);
    if (stopping_.exchange(true)) return;  // from here on no host callback fires
    // Closing handshakes and the stop itself are not made to wait for frames
    // to gather.
    if (event_loop_) event_loop_->stop_pausing();
    {
        std::lock_guard<std::mutex> lock(check_mutex_);
        stop_requested_.store(true);
    }
    check_wakeup_.notify_all();
    outbound_.close();
    handed_over_.close();

    for (const auto& device_id : registry_.open_ids()) {
        log::debug("> Closing connection ", device_id);
        close(device_id, websocketpp::close::status::going_away, "");
    }
    // close() keeps every open record it removes, these and any the host
    // disconnected just before, until its closing handshake ends.
    if (io_thread_) wait_for_closing_handshakes(kCloseHandOver);
    if (event_loop_ready_) client_->stop_perpetual();

    log::debug("stop connection thread start");
    if (send_thread_) send_thread_->join();
    if (check_thread_) check_thread_->join();
    // Close handshakes still in flight are abandoned here.
    if (event_loop_ready_) client_->stop();
    if (io_thread_) io_thread_->join();
    log::debug("stop connection thread end");
}

void PrinterManager::run_event_loop() {
    enter_thread(ThreadRole::io, "pemra-io");
    for (;;) {
        if (catch_and_log([&] { event_loop_->run(); }, "network thread: ")) return;
    }
}

void PrinterManager::enter_thread(ThreadRole role, const char* name) {
    tls_owner = this;
    tls_network_thread = role == ThreadRole::io;
    platform::set_current_thread_name(name);
}

bool PrinterManager::on_network_thread() { return tls_network_thread; }

bool PrinterManager::on_own_thread() const { return tls_owner == this; }

void PrinterManager::post(std::function<void()> task) {
    boost::asio::post(client_->get_io_service(), std::move(task));
}

void PrinterManager::wait_for_closing_handshakes(std::chrono::milliseconds limit) {
    const std::vector<std::shared_ptr<PrinterConnection>> records = registry_.closing();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::unique_lock<std::mutex> lock(ended_mutex_);
    connection_ended_.wait_until(lock, deadline, [&] {
        return std::none_of(records.begin(), records.end(),
                            [](const auto& record) { return record->current_state() == ConnectionState::open; });
    });
}

void PrinterManager::note_connection_ended() {
    // Taking the lock orders this with a waiter between its test and its wait.
    { std::lock_guard<std::mutex> lock(ended_mutex_); }
    connection_ended_.notify_all();
}

PrinterManager::CallScope::CallScope(PrinterManager& agent) : agent_(agent) {
    std::lock_guard<std::mutex> lock(agent_.calls_mutex_);
    ++agent_.calls_in_flight_;
}

PrinterManager::CallScope::~CallScope() {
    // Notifying under the lock: once destroy sees zero, this thread touches
    // the agent no more.
    std::lock_guard<std::mutex> lock(agent_.calls_mutex_);
    if (--agent_.calls_in_flight_ == 0) agent_.calls_done_.notify_all();
}

void PrinterManager::wait_for_calls_to_finish() {
    std::unique_lock<std::mutex> lock(calls_mutex_);
    calls_done_.wait(lock, [this] { return calls_in_flight_ == 0; });
}

}  // namespace pemra
