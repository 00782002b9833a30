// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The liveness pass: every check interval, open printers are pinged and
// ticked, closed and failed ones reconnected. The check thread asks the
// registry for the pass's work, starts the retries and hands the pings to
// io_thread as one task, in key order: no WebSocket call and no host
// callback happens on the check thread.

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "agent/printer_manager.h"
#include "base/log.h"
#include "base/exception_firewall.h"
#include "connection/printer_connection.h"

namespace pemra {

void PrinterManager::do_socket_check_loop() {
    enter_thread(ThreadRole::check, "pemra-check");
    std::unique_lock<std::mutex> lock(check_mutex_);
    while (!stop_requested_.load()) {
        const auto deadline = std::chrono::steady_clock::now() + timings_.check_interval;
        if (check_wakeup_.wait_until(lock, deadline, [this] { return stop_requested_.load(); })) break;
        lock.unlock();
        run_guarded("liveness pass", "", [&] { liveness_pass(); });
        lock.lock();
    }
    lock.unlock();
    log::debug("do_socket_check_loop stop");
}

void PrinterManager::liveness_pass() {
    std::vector<Registry::Link> pings;
    std::vector<Registry::Retry> due;
    registry_.plan_pass(pings, due);
    for (const auto& retry_due : due) retry(retry_due);
    if (pings.empty()) return;
    post([this, pings = std::move(pings), posted = std::chrono::steady_clock::now()] {
        // A pass is judged only while this thread keeps up. One that waited
        // behind other work (a huge frame, a slow host callback) runs before
        // the frames that arrived meanwhile are read, and passes that piled
        // up run back to back with no chance to hear anything: such a pass
        // is skipped whole, or a stall of this thread would count every
        // printer silent and send each of them a burst of requests.
        const auto waited = std::chrono::steady_clock::now() - posted;
        if (waited >= timings_.check_interval / 2) {
            log::debug("liveness pass skipped: it waited ",
                       std::chrono::duration_cast<std::chrono::milliseconds>(waited).count(),
                       " ms behind other work");
            return;
        }
        for (const Registry::Link& ping : pings) ping.record->ping_and_tick(this, ping.generation, ping.handle);
    });
}

}  // namespace pemra
