// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// PrinterManager: the agent the host creates, one per
// pemra_network_create_agent. It owns the WebSocket client endpoint, the
// registry of printer connections, the outbound queue, the seven host
// callback slots and three threads:
//
//   io_thread     runs the client's event loop, a batch at a time after busy
//                 wakes (BatchedEventLoop). Every WebSocket handler, the
//                 message dispatcher, the status readers and every host
//                 callback run here, one at a time. Nothing here blocks on
//                 another thread (a full queue drops instead of waiting).
//   send_thread   the only consumer of the outbound queue (do_send_loop); posts
//                 each frame to io_thread, which makes the WebSocket call.
//   check_thread  the liveness pass every check_interval
//                 (do_socket_check_loop); it prepares pings, ticks and
//                 reconnections and hands them to io_thread.
//
// The printers and the connection each holds now are the Registry's, which
// every thread asks briefly; nothing holds its lock while waiting for
// io_thread.
//
// Host threads call the public operations through the exports.
//
// Locks: none of ours nests in another. The registry's lock, the queue's
// mutex, the hand-over limit's mutex, each session's pending-request lock,
// the callback slots' mutexes, check_mutex_, ended_mutex_ and calls_mutex_
// are each taken alone, and no lock of ours is held while a host callback
// runs or a frame is sent.
//
// A connection's MachineStatus, server and error_reason are touched only on
// io_thread: threads that need to change them post the change there, which
// also keeps every report of one printer in the order of its events.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "agent/callback_slot.h"
#include "agent/registry.h"
#include "agent/timings.h"
#include "connection/connection_owner.h"
#include "connection/hand_over_limit.h"
#include "connection/outbound_queue.h"
#include "connection/ws_fwd.h"
#include "pemra_network/callbacks.h"
#include "pemra_network/machine_status.h"
#include "protocol/frame_parser.h"

namespace pemra {

class AddressResolver;
class BatchedEventLoop;
class PrinterConnection;

class PrinterManager final : public ConnectionOwner {
public:
    explicit PrinterManager(const Timings& timings = Timings{});
    ~PrinterManager();
    PrinterManager(const PrinterManager&) = delete;
    PrinterManager& operator=(const PrinterManager&) = delete;

    // Starts the event loop and the three threads. A second call throws the
    // client's error and changes nothing.
    void start();
    // Closes open printers with 1001, stops and joins every thread that
    // exists. Idempotent; must not run on one of this agent's threads.
    void stop();

    // Creates or reuses the printer's record and starts a connection to
    // `uri`. 0 when started or nothing to do, -1 when refused (not started,
    // stopping, or a URI the client cannot use).
    int connect(std::string device_id, const std::string& uri);
    // Starts the closing handshake and forgets the printer; its close event
    // still reports it once as offline.
    void close(std::string device_id, std::uint16_t close_code, std::string reason);
    // Queues a text for the printer. On a host thread this may wait while the
    // queue is full; on io_thread a full queue drops the message.
    void send(std::string device_id, std::int32_t request_id, std::string payload, bool track);

    // The request catalogue.
    void request_objects_list(const std::string& device_id) override;
    void request_objects_subscribe(const std::string& device_id, const std::string& objects_param) override;
    void request_printer_info(const std::string& device_id) override;
    void request_file_list(const std::string& device_id, const std::string& path);
    void request_file_metadata(const std::string& device_id, const std::string& file_name);
    void request_last_history(const std::string& device_id) override;
    void request_history(const std::string& device_id, std::int32_t start, std::int32_t limit,
                         const std::string& order);
    void request_delete_file(const std::string& device_id, const std::string& file_name);

    // Host callbacks. A report calls its slot with copies of its arguments
    // when the slot is set, callbacks are enabled and the agent is not
    // stopping; an exception from the callback is logged and swallowed.
    void report_machine_status(const std::string& device_id, const MachineStatus& status) override;
    void report_file_list(const std::string& device_id, const std::string& text) override;
    void report_file_meta(const std::string& device_id, const std::string& text) override;
    void report_print_history(const std::string& device_id, const std::string& text) override;
    void report_error(const std::string& device_id, const std::string& text) override;
    void report_file_changed(const std::string& device_id, const std::string& text) override;
    void report_history_changed(const std::string& device_id, const std::string& text) override;

    void set_machine_status_changed_fn(MachineStatusChangedFn fn) { machine_status_changed_fn_.set(std::move(fn)); }
    void set_file_list_arrived_fn(TextArrivedFn fn) { file_list_arrived_fn_.set(std::move(fn)); }
    void set_file_meta_arrived_fn(TextArrivedFn fn) { file_meta_arrived_fn_.set(std::move(fn)); }
    void set_print_history_arrived_fn(TextArrivedFn fn) { print_history_arrived_fn_.set(std::move(fn)); }
    void set_error_arrived_fn(TextArrivedFn fn) { error_arrived_fn_.set(std::move(fn)); }
    void set_file_changed_fn(TextArrivedFn fn) { file_changed_fn_.set(std::move(fn)); }
    void set_history_changed_fn(TextArrivedFn fn) { history_changed_fn_.set(std::move(fn)); }
    void set_callbacks_suppressed(bool suppressed) { callbacks_suppressed_.store(suppressed); }

    // Runs `task` on io_thread, after everything posted before it.
    void post(std::function<void()> task);
    WsClient& endpoint() override { return *client_; }
    // io_thread: the one parser of every printer's frames.
    protocol::FrameParser& frame_parser() override { return parser_; }

    // io_thread: a connection closed or failed (stop may be waiting for it).
    void note_connection_ended() override;
    // io_thread: a quick attempt of `record`, armed while its connection of
    // generation `gen` was the current one. Does nothing when that is no
    // longer so (the host or a pass started another attempt), when the
    // printer was disconnected or is not closed or failed, or while stopping.
    void quick_reconnect(const std::shared_ptr<PrinterConnection>& record, std::uint64_t gen) override;
    bool is_stopping() const override { return stopping_.load(); }
    void pause_point(const char* point) override {
        if (timings_.pause_point) timings_.pause_point(point);
    }
    const Timings& timings() const { return timings_; }

    // True on io_thread of any agent: there nothing may wait for the queue.
    static bool on_network_thread();
    // True on one of this agent's own threads (where destroy must not run).
    bool on_own_thread() const;

    // Export calls in flight, so that destroy frees nothing under a host
    // thread that is still inside an export of this agent.
    class CallScope {
    public:
        explicit CallScope(PrinterManager& agent);
        ~CallScope();
        CallScope(const CallScope&) = delete;
        CallScope& operator=(const CallScope&) = delete;

    private:
        PrinterManager& agent_;
    };
    void wait_for_calls_to_finish();

    // The record of a device id, or null.
    std::shared_ptr<PrinterConnection> find_connection(const std::string& device_id);
    std::deque<OutboundMessage> queued_messages() const { return outbound_.snapshot(); }
    // Messages handed to io_thread and not sent yet (for tests and diagnostics).
    std::size_t messages_handed_over() const { return handed_over_.in_flight(); }

private:
    enum class ThreadRole { none, io, send, check };

    // Who asks for a connection: the host's connect restarts the printer's
    // quick reconnection rhythm, a pass or a quick attempt continues it.
    enum class ConnectOrigin { host, retry };
    // A connection of the client for `uri`, not started; null (and logged)
    // when the agent is not running or the URI is of no use.
    WsConnectionPtr new_connection(const std::string& device_id, const std::string& uri);
    // Tries a closed or failed printer again, when the retry is still due.
    void retry(const Registry::Retry& due);
    // Binds the attempt's handlers and starts it on io_thread.
    void start_attempt(const Registry::Attempt& attempt, const WsConnectionPtr& connection, ConnectOrigin origin);
    void report_offline_without_record(const std::string& device_id);
    void do_send_loop();
    void do_socket_check_loop();
    void liveness_pass();
    void run_event_loop();
    void enter_thread(ThreadRole role, const char* name);
    void wait_for_closing_handshakes(std::chrono::milliseconds limit);
    template <typename Slot, typename Payload>
    bool call_slot(const Slot& slot, const std::string& device_id, const Payload& payload);

    const Timings timings_;
    std::atomic<bool> callbacks_suppressed_{false};
    std::unique_ptr<WsClient> client_;
    // io_thread; made at start, destroyed before the event loop it uses.
    std::unique_ptr<AddressResolver> resolver_;
    std::unique_ptr<BatchedEventLoop> event_loop_;  // made at start; run by io_thread
    protocol::FrameParser parser_;  // io_thread
    std::shared_ptr<std::thread> io_thread_;
    std::shared_ptr<std::thread> send_thread_;
    std::shared_ptr<std::thread> check_thread_;

    Registry registry_;
    std::mutex check_mutex_;                   // pairs with check_wakeup_
    std::atomic<bool> stop_requested_{false};  // set under check_mutex_
    std::condition_variable check_wakeup_;
    OutboundQueue outbound_;
    // Messages the send loop posted to io_thread and io_thread has not sent:
    // as many as the queue holds.
    HandOverLimit handed_over_{OutboundQueue::kCapacity};

    std::mutex start_mutex_;            // serialises start
    bool event_loop_ready_ = false;     // guarded by start_mutex_
    std::atomic<bool> started_{false};  // every thread runs
    std::atomic<bool> stopping_{false}; // stop began: no more reports; set under start_mutex_

    std::mutex ended_mutex_;  // pairs with connection_ended_
    std::condition_variable connection_ended_;

    std::mutex calls_mutex_;
    std::condition_variable calls_done_;
    int calls_in_flight_ = 0;  // guarded by calls_mutex_

    CallbackSlot<MachineStatusChangedFn> machine_status_changed_fn_;
    CallbackSlot<TextArrivedFn> file_list_arrived_fn_;
    CallbackSlot<TextArrivedFn> file_meta_arrived_fn_;
    CallbackSlot<TextArrivedFn> print_history_arrived_fn_;
    CallbackSlot<TextArrivedFn> error_arrived_fn_;
    CallbackSlot<TextArrivedFn> file_changed_fn_;
    CallbackSlot<TextArrivedFn> history_changed_fn_;
};

}  // namespace pemra
