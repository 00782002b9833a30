// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The message dispatcher: every text frame a printer sends is parsed once and
// routed, a reply by the number in its "id", a notification by its "method".
// Runs on io_thread.

#include <string>

#include <nlohmann/json.hpp>

#include "agent/printer_manager.h"
#include "base/log.h"
#include "base/trace.h"
#include "connection/printer_connection.h"
#include "protocol/frame_outline.h"
#include "protocol/gcode_notices.h"
#include "protocol/job_record.h"
#include "protocol/printer_identity.h"
#include "protocol/printer_refusals.h"
#include "protocol/requests.h"
#include "protocol/subscription.h"
#include "status/json_read.h"
#include "status/status_readers.h"

namespace pemra {

using nlohmann::json;
using json_read::Fields;
using json_read::present;

void PrinterConnection::handle_message(PrinterManager* agent, const std::string& text) {
    const protocol::FrameOutline outline = protocol::outline_frame(text);
    if (outline.too_deep) {
        log::error("frame from ", id, " dropped: nested deeper than ", protocol::kMaxNesting, " levels");
        return;
    }
    if (outline.is_host_statistics()) {
        // Ignored once it is known to be valid: checked, never built.
        if (!json::accept(text)) log::error("frame from ", id, " dropped: not valid JSON");
        return;
    }
    const json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (doc.is_discarded()) {
        log::error("frame from ", id, " dropped: not valid JSON");
        return;
    }
    try {
        if (doc.is_object()) {
            auto reply_id = doc.find("id");
            if (reply_id != doc.end() && !reply_id->is_null()) {
                route_reply(agent, text, doc, *reply_id);
                return;
            }
            auto method = doc.find("method");
            if (method != doc.end() && !method->is_null()) {
                route_notification(agent, text, doc, *method);
                return;
            }
        }
        trace::out(id, "msg not do:", text);
    } catch (const std::exception& e) {
        // Fields written before the bad one keep their values.
        log::error("rest of a frame from ", id, " dropped: ", e.what());
    }
}

void PrinterConnection::route_reply(PrinterManager* agent, const std::string& text, const json& doc,
                                    const json& id_value) {
    const std::int32_t reply_id = Fields(doc, "reply").to_int32("id", id_value);
    trace::out(id, " msg receive id:", reply_id);
    {
        std::lock_guard<std::mutex> lock(pending_mutex);
        pending.erase(reply_id);
    }

    if (const json* error = present(doc, "error")) {
        report_error_reply(agent, reply_id, *error);
        return;
    }

    switch (reply_id) {
        case requests::kObjectsList:
            subscribe_objects(agent, text, doc);
            break;
        case requests::kObjectsSubscribe: {
            auto result = doc.find("result");
            if (result == doc.end() || !result->is_object()) break;
            auto objects = result->find("status");
            if (objects == result->end()) break;
            apply_status_update(agent, *objects);
            if (!status.print_stats.filename.empty()) agent->request_last_history(id);
            break;
        }
        case requests::kPrinterInfo:
            if (const json* result = present(doc, "result")) protocol::apply_printer_info(status, *result);
            break;
        case requests::kFileList:
            agent->report_file_list(id, text);
            break;
        case requests::kFileMetadata:
            agent->report_file_meta(id, text);
            break;
        case requests::kLastHistory: {
            const json* result = present(doc, "result");
            const json* count = result ? present(*result, "count") : nullptr;
            if (!count || Fields(*result, "reply.result").to_int32("count", *count) <= 0) break;
            auto jobs = result->find("jobs");
            if (jobs == result->end() || !jobs->is_array() || jobs->empty()) break;
            protocol::apply_job_record(status.last_job, jobs->front());
            break;
        }
        case requests::kHistoryPage:
            agent->report_print_history(id, text);
            break;
        default:
            break;
    }
}

void PrinterConnection::report_error_reply(PrinterManager* agent, std::int32_t reply_id, const json& error) {
    if (!error.is_object()) return;
    auto message = error.find("message");
    if (message == error.end()) return;
    const std::string& words = Fields(error, "reply.error").to_string("message", *message);
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
    if (asks_firmware && protocol::says_firmware_not_connected(words)) {
        // The API server is up but its firmware is not: the printer is there
        // and unusable until the firmware's ready notice.
        if (reply_id == requests::kPrinterInfo) identity_wanted = true;
        apply_klippy_state(agent, 3);
    }
    if (opening && protocol::says_unauthorized(words)) {
        if (!refusal_told) {
            refusal_told = true;
            log::error("printer ", id, " refused the plug-in: ", words);
            agent->report_error(id, words);
        } else {
            log::debug("printer ", id, " refused the plug-in again: ", words);
        }
    }

    const auto notices = protocol::error_notices(words);
    if (notices.move_out_of_range) agent->report_error(id, std::string(protocol::kMoveOutOfRange));
    if (notices.must_home_first) agent->report_error(id, std::string(protocol::kMustHomeFirst));
}

void PrinterConnection::route_notification(PrinterManager* agent, const std::string& text, const json& doc,
                                           const json& method_value) {
    const std::string& method = Fields(doc, "notification").to_string("method", method_value);
    if (method == "notify_status_update") {
        auto params = doc.find("params");
        if (params == doc.end() || !params->is_array()) return;
        for (const json& element : *params) apply_status_update(agent, element);
    } else if (method == "notify_proc_stat_update") {
        // Host statistics: not read (most never get here, see handle_message).
    } else if (method == "notify_gcode_response") {
        protocol::apply_gcode_response(status, text);
    } else if (method == "notify_history_changed") {
        apply_history_changed(agent, doc);
    } else if (method == "notify_filelist_changed") {
        agent->report_file_changed(id, std::string());
    } else if (method == "notify_klippy_ready") {
        apply_klippy_state(agent, 1);
        // A printer whose firmware was down when it was first asked has not
        // told its name yet.
        if (identity_wanted) {
            identity_wanted = false;
            agent->request_printer_info(id);
        }
        // The firmware's restart dropped every subscription: ask for the
        // objects again now rather than at the next liveness pass.
        agent->request_objects_list(id);
    } else if (method == "notify_klippy_shutdown") {
        apply_klippy_state(agent, 4);
    } else if (method == "notify_klippy_disconnected") {
        apply_klippy_state(agent, 3);
    } else {
        trace::out(id, "msg not do:", text);
    }
}

void PrinterConnection::subscribe_objects(PrinterManager* agent, const std::string& text, const json& doc) {
    auto subscription = protocol::subscription_from_reply(text, doc);
    if (!subscription.objects_param) {
        log::error("no subscription for ", id, ": ", subscription.why_not);
        return;
    }
    agent->request_objects_subscribe(id, *subscription.objects_param);
}

void PrinterConnection::apply_history_changed(PrinterManager* agent, const json& doc) {
    auto params = doc.find("params");
    if (params == doc.end()) return;
    if (params->is_array()) {
        for (const json& element : *params) {
            const json* action = present(element, "action");
            if (!action) continue;
            const std::string& what = Fields(element, "notify_history_changed").to_string("action", *action);
            auto job = element.find("job");
            if (job == element.end()) continue;
            // A new job becomes the last one; the end of a job updates it
            // only when it is the job the record holds.
            if (what == "added" || (what == "finished" && protocol::is_same_job(status.last_job, *job))) {
                protocol::apply_job_record(status.last_job, *job);
            }
        }
    }
    agent->report_history_changed(id, std::string());
}

void PrinterConnection::apply_klippy_state(PrinterManager* agent, std::int32_t klippy_state) {
    status.klippy_state = klippy_state;
    status::derive_states(status);
    report_status(agent);
}

}  // namespace pemra
