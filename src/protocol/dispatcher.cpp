// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The message dispatcher: every text frame a printer sends is parsed once and
// routed, a reply by the number in its "id", a notification by its "method".
// Runs on the network thread.

#include <string>
#include <string_view>

#include "base/log.h"
#include "base/trace.h"
#include "protocol/gcode_notices.h"
#include "protocol/job_record.h"
#include "protocol/printer_identity.h"
#include "protocol/printer_refusals.h"
#include "protocol/printer_session.h"
#include "protocol/requests.h"
#include "protocol/subscription.h"
#include "status/json_read.h"

namespace pemra::protocol {

using json_read::Element;
using json_read::Entries;
using json_read::find;
using json_read::present;

void PrinterSession::handle_message(const std::string& text, FrameParser& parser, Uplink& uplink) {
    const FrameParser::Result parsed = parser.parse(text);
    if (parsed.outcome == FrameParser::Outcome::too_deep) {
        log::error("frame from ", id, " dropped: nested deeper than ", kMaxNesting, " levels");
        return;
    }
    if (parsed.outcome != FrameParser::Outcome::parsed) {
        log::error("frame from ", id, " dropped: not valid JSON");
        return;
    }
    const Element doc = parsed.root;
    reading_status_ = false;
    try {
        if (doc.is_object()) {
            const Entries frame(doc);
            if (const auto reply_id = frame.present("id")) {
                route_reply(text, doc, frame, *reply_id, uplink);
                return;
            }
            if (const auto method = frame.present("method")) {
                route_notification(text, frame, *method, uplink);
                return;
            }
        }
        trace::out(id, "msg not do:", text);
    } catch (const std::exception& e) {
        // Fields written before the bad one keep their values.
        if (reading_status_) {
            log::error("status update from ", id, " abandoned: ", e.what());
        } else {
            log::error("rest of a frame from ", id, " dropped: ", e.what());
        }
    }
}

void PrinterSession::route_reply(const std::string& text, Element doc, const Entries& frame, Element id_value,
                                 Uplink& uplink) {
    const std::int32_t reply_id = json_read::to_int32("reply", "id", id_value);
    trace::out(id, " msg receive id:", reply_id);
    pending.forget(reply_id);

    if (const auto error = frame.present("error")) {
        report_error_reply(reply_id, *error, uplink);
        return;
    }

    switch (reply_id) {
        case requests::kObjectsList:
            subscribe_objects(text, doc, uplink);
            break;
        case requests::kObjectsSubscribe: {
            const auto result = frame.object("result");
            const auto objects = result ? find(*result, "status") : std::nullopt;
            if (!objects) break;
            apply_status_update(*objects, uplink);
            if (!status.print_stats.filename.empty()) uplink.request_last_history(id);
            break;
        }
        case requests::kPrinterInfo:
            if (const auto result = frame.present("result")) apply_printer_info(status, *result);
            break;
        case requests::kFileList:
            uplink.report_file_list(id, text);
            break;
        case requests::kFileMetadata:
            uplink.report_file_meta(id, text);
            break;
        case requests::kLastHistory:
            apply_last_history(frame);
            break;
        case requests::kHistoryPage:
            uplink.report_print_history(id, text);
            break;
        default:
            break;
    }
}

void PrinterSession::apply_last_history(const Entries& frame) {
    const auto result = frame.present("result");
    const auto count = result ? present(*result, "count") : std::nullopt;
    if (!count || json_read::to_int32("reply.result", "count", *count) <= 0) return;
    const auto jobs = find(*result, "jobs");
    if (!jobs || !jobs->is_array()) return;
    // The newest job comes first.
    for (const Element job : json_read::elements_of(*jobs)) {
        apply_job_record(status.last_job, job);
        break;
    }
}

void PrinterSession::report_error_reply(std::int32_t reply_id, Element error, Uplink& uplink) {
    const auto message = find(error, "message");
    if (!message) return;
    const std::string_view words = json_read::to_string("reply.error", "message", *message);
    if (reply_id == requests::kFileList || reply_id == requests::kFileMetadata ||
        reply_id == requests::kHistoryPage) {
        // The host gets no callback for these; the log keeps the reason.
        log::info("error reply to request ", reply_id, " from ", id, ": ", words);
    }

    // Refusals of the plug-in's own opening requests say what state the
    // printer is in; the same words in reply to a host's request are the
    // host's business.
    const bool asks_firmware = reply_id == requests::kPrinterInfo || reply_id == requests::kObjectsList;
    const bool opening = asks_firmware || reply_id == requests::kObjectsSubscribe;
    if (asks_firmware && says_firmware_not_connected(words)) {
        // The API server is up but its firmware is not: the printer is there
        // and unusable until the firmware's ready notice.
        if (reply_id == requests::kPrinterInfo) identity_wanted_ = true;
        apply_klippy_state(klippy_state::disconnected, uplink);
    }
    if (opening && says_unauthorized(words)) {
        if (!refusal_told_) {
            refusal_told_ = true;
            log::error("printer ", id, " refused the plug-in: ", words);
            uplink.report_error(id, std::string(words));
        } else {
            log::debug("printer ", id, " refused the plug-in again: ", words);
        }
    }

    const auto notices = error_notices(words);
    if (notices.move_out_of_range) uplink.report_error(id, std::string(kMoveOutOfRange));
    if (notices.must_home_first) uplink.report_error(id, std::string(kMustHomeFirst));
}

void PrinterSession::route_notification(const std::string& text, const Entries& frame, Element method_value,
                                        Uplink& uplink) {
    const std::string_view method = json_read::to_string("notification", "method", method_value);
    if (method == "notify_status_update") {
        const auto params = frame.find("params");
        if (!params || !params->is_array()) return;
        for (const Element element : json_read::elements_of(*params)) apply_status_update(element, uplink);
    } else if (method == "notify_proc_stat_update") {
        // Host statistics, every second: validated by the parse, not read.
    } else if (method == "notify_gcode_response") {
        apply_gcode_response(status, text);
    } else if (method == "notify_history_changed") {
        apply_history_changed(frame, uplink);
    } else if (method == "notify_filelist_changed") {
        uplink.report_file_changed(id, std::string());
    } else if (method == "notify_klippy_ready") {
        apply_klippy_state(klippy_state::ready, uplink);
        // A printer whose firmware was down when it was first asked has not
        // told its name yet.
        if (identity_wanted_) {
            identity_wanted_ = false;
            uplink.request_printer_info(id);
        }
        // The firmware's restart dropped every subscription: ask for the
        // objects again now rather than at the next liveness pass.
        uplink.request_objects_list(id);
    } else if (method == "notify_klippy_shutdown") {
        apply_klippy_state(klippy_state::shutdown, uplink);
    } else if (method == "notify_klippy_disconnected") {
        apply_klippy_state(klippy_state::disconnected, uplink);
    } else {
        trace::out(id, "msg not do:", text);
    }
}

void PrinterSession::subscribe_objects(const std::string& text, Element doc, Uplink& uplink) {
    auto subscription = subscription_from_reply(text, doc);
    if (!subscription.objects_param) {
        log::error("no subscription for ", id, ": ", subscription.why_not);
        return;
    }
    uplink.request_objects_subscribe(id, *subscription.objects_param);
}

void PrinterSession::apply_history_changed(const Entries& frame, Uplink& uplink) {
    const auto params = frame.find("params");
    if (!params) return;
    if (params->is_array()) {
        for (const Element element : json_read::elements_of(*params)) {
            const auto action = present(element, "action");
            if (!action) continue;
            const std::string_view what = json_read::to_string("notify_history_changed", "action", *action);
            const auto job = find(element, "job");
            if (!job) continue;
            // A new job becomes the last one; the end of a job updates it
            // only when it is the job the record holds.
            if (what == "added" || (what == "finished" && is_same_job(status.last_job, *job))) {
                apply_job_record(status.last_job, *job);
            }
        }
    }
    uplink.report_history_changed(id, std::string());
}

}  // namespace pemra::protocol
