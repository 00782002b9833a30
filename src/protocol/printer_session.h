// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// PrinterSession: one printer's side of the JSON-RPC conversation, whatever
// connection carries it. It reads every text frame the printer sends (a reply
// routed by the number in its "id", a notification by its "method"), keeps
// the printer's status record up to date and reports it, and remembers the
// requests that still wait for their replies.
//
// A frame's whole way runs here, top to bottom: handle_message parses it,
// routes it, hands status elements to the status readers and reports through
// the Uplink. Nothing here knows the agent or the WebSocket connection.
//
// Threads: everything but `pending` and `status_updates` is the network
// thread's alone; `pending` has its own lock.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "pemra_network/machine_status.h"
#include "protocol/frame_parser.h"
#include "protocol/pending_requests.h"
#include "protocol/uplink.h"
#include "status/json_read.h"

namespace pemra::protocol {

class PrinterSession {
public:
    explicit PrinterSession(std::string device_id) : id(std::move(device_id)) {}

    // One text frame as received. A frame that is not JSON, nests too deep or
    // holds a field of the wrong type is logged, once; what was read before
    // the bad field stays. This is the one place a frame's read error is
    // caught.
    void handle_message(const std::string& text, FrameParser& parser, Uplink& uplink);
    // Hands one status element to the status readers and reports the record.
    void apply_status_update(json_read::Element status_element, Uplink& uplink);

    // A new connection opened: refusals and unanswered identity questions of
    // the last one are forgotten.
    void start_over();
    void report_status(Uplink& uplink) { uplink.report_machine_status(id, status); }
    // Status elements applied since the last call.
    std::int32_t take_status_updates() { return status_updates.exchange(0); }

    const std::string id;
    MachineStatus status;      // network thread
    PendingRequests pending;   // any thread
    std::atomic<std::int32_t> status_updates{0};

private:
    // `frame`: the entries of `doc`, the frame's top-level object.
    void route_reply(const std::string& text, json_read::Element doc, const json_read::Entries& frame,
                     json_read::Element id_value, Uplink& uplink);
    void route_notification(const std::string& text, const json_read::Entries& frame, json_read::Element method_value,
                            Uplink& uplink);
    void subscribe_objects(const std::string& text, json_read::Element doc, Uplink& uplink);
    void apply_last_history(const json_read::Entries& frame);
    void apply_history_changed(const json_read::Entries& frame, Uplink& uplink);
    void apply_klippy_state(std::int32_t klippy_state, Uplink& uplink);
    void report_error_reply(std::int32_t reply_id, json_read::Element error, Uplink& uplink);

    // The printer refused the plug-in on this connection, and the host was told.
    bool refusal_told_ = false;
    // printer.info was answered with "firmware not connected": ask again when
    // the firmware comes up, or the printer's name stays unknown.
    bool identity_wanted_ = false;
    // A status element is being read: what a read error abandons.
    bool reading_status_ = false;
};

}  // namespace pemra::protocol
