// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The outbound path: producers queue messages, the send thread takes them one
// at a time and hands each to its printer's connection.

#include <utility>

#include "agent/printer_manager.h"
#include "base/exception_firewall.h"
#include "base/log.h"
#include "base/trace.h"
#include "connection/printer_connection.h"

namespace pemra {

void PrinterManager::send(std::string device_id, std::int32_t request_id, std::string payload, bool track) {
    log::debug("send msg:", "id,", payload);
    OutboundMessage message{std::move(device_id), request_id, 0, track, std::move(payload)};
    if (!on_network_thread()) {
        outbound_.push(std::move(message));
        return;
    }
    // Waiting here would stall every printer of every agent on this thread.
    if (outbound_.try_push(message) == OutboundQueue::TryPush::full) {
        log::error("outbound queue full: request ", request_id, " for ", message.device_id, " dropped");
        // A tracked request joins the printer's pending ones, which the next
        // liveness tick sends.
        if (track && request_id >= 1) {
            if (auto record = find_connection(message.device_id)) {
                record->session.pending.remember_unsent(request_id, std::move(message.payload));
            }
        }
    }
}

void PrinterManager::do_send_loop() {
    enter_thread(ThreadRole::send, "pemra-send");
    while (!stop_requested_.load()) {
        OutboundMessage message;
        const bool popped = outbound_.pop(message);
        if (stop_requested_.load()) break;
        trace::out("send msg :", popped ? 1 : 0, "\n");
        if (!popped) continue;
        run_guarded("send loop", message.device_id, [&] {
            auto link = registry_.link(message.device_id);
            if (!link) {
                trace::out("> No connection found with id ", message.device_id, "\n");
                return;
            }
            // The client library's send() is not safe beside a connection
            // ending on the network thread (it reads the connection's state
            // that the ending writes without a lock), so the frame is handed
            // to that thread, in the queue's order, and no faster than that
            // thread writes them.
            if (!handed_over_.acquire()) return;  // stopping
            post([this, record = std::move(link->record), handle = std::move(link->handle),
                  message = std::move(message)]() mutable {
                run_guarded("send", record->id, [&] {
                    record->send(client_.get(), std::move(handle), message.request_id, message.payload, message.track);
                });
                handed_over_.release();
            });
        });
    }
    log::debug("do_send_loop stop");
}

}  // namespace pemra
