// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The liveness pass: every check interval, open printers are pinged and
// ticked, closed and failed ones reconnected. The check thread decides under
// connections_mutex_ and hands the work to io_thread in key order, so no
// WebSocket call and no host callback happens while the registry is locked.

#include <chrono>
#include <mutex>

#include "agent/printer_manager.h"
#include "base/log.h"
#include "base/exception_firewall.h"
#include "connection/printer_connection.h"

namespace pemra {

void PrinterManager::do_socket_check_loop() {
    enter_thread(ThreadRole::check, "pemra-check");
    std::unique_lock<std::mutex> lock(connections_mutex_);
    while (!stop_requested_.load()) {
        const auto deadline = std::chrono::steady_clock::now() + timings_.check_interval;
        if (check_wakeup_.wait_until(lock, deadline, [this] { return stop_requested_.load(); })) break;
        run_guarded("liveness pass", "", [&] { liveness_pass(); });
    }
    lock.unlock();
    log::debug("do_socket_check_loop stop");
}

// Runs with connections_mutex_ held.
void PrinterManager::liveness_pass() {
    const auto posted = std::chrono::steady_clock::now();
    for (auto& [device_id, record] : connections_) {
        switch (record->current_state()) {
            case ConnectionState::open: {
                const std::uint64_t gen = record->generation.load();
                post([this, record = record, gen, handle = record->hdl, posted] {
                    record->ping_and_tick(this, gen, handle, posted);
                });
                break;
            }
            case ConnectionState::closed:
            case ConnectionState::failed:
                connect_locked(device_id, record->uri, ConnectOrigin::retry);
                break;
            case ConnectionState::connecting:
                // The handshake timeout ends the attempt with an open or a fail.
                break;
        }
    }
}

}  // namespace pemra
