// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The JSON-RPC methods of the printer's API server, answered with the
// shapes, codes and texts of the real server.
#include <cstdlib>

#include "json_out.h"
#include "printer_core.h"
#include "rpc_text.h"

namespace printer_sim::detail {

namespace {

double wall_now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

struct ArgumentError {
    std::string message;
};

// An integer argument as the API server reads one: a number, or a text that
// holds one; anything else is refused.
std::int64_t int_argument(const nlohmann::json& params, const char* name, std::int64_t fallback) {
    if (!params.is_object()) return fallback;
    auto found = params.find(name);
    if (found == params.end() || found->is_null()) return fallback;
    if (found->is_number_integer()) return found->get<std::int64_t>();
    if (found->is_number_float()) return static_cast<std::int64_t>(found->get<double>());
    if (found->is_string()) {
        const std::string& text = found->get_ref<const std::string&>();
        char* end = nullptr;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (!text.empty() && *end == '\0') return value;
    }
    throw ArgumentError{std::string("Unable to convert argument '") + name + "' to int"};
}

std::optional<std::string> string_argument(const nlohmann::json& params, const char* name) {
    if (!params.is_object()) return std::nullopt;
    auto found = params.find(name);
    if (found == params.end() || !found->is_string()) return std::nullopt;
    return found->get<std::string>();
}

}  // namespace

const std::unordered_map<std::string, PrinterCore::Method>& PrinterCore::methods() {
    static const std::unordered_map<std::string, Method> table = {
        {"printer.info", &PrinterCore::printer_info_method},
        {"printer.objects.list", &PrinterCore::objects_list},
        {"printer.objects.subscribe", &PrinterCore::objects_subscribe},
        {"printer.objects.query", &PrinterCore::objects_query},
        {"printer.gcode.script", &PrinterCore::gcode_script},
        {"printer.emergency_stop", &PrinterCore::emergency_stop_method},
        {"printer.firmware_restart", &PrinterCore::restart_method},
        {"printer.restart", &PrinterCore::restart_method},
        {"printer.print.start", &PrinterCore::print_start},
        {"printer.print.pause", &PrinterCore::print_pause},
        {"printer.print.resume", &PrinterCore::print_resume},
        {"printer.print.cancel", &PrinterCore::print_cancel},
        {"server.info", &PrinterCore::server_info},
        {"server.connection.identify", &PrinterCore::connection_identify},
        {"server.files.list", &PrinterCore::files_list},
        {"server.files.get_directory", &PrinterCore::files_directory},
        {"server.files.metadata", &PrinterCore::files_metadata},
        {"server.files.delete_file", &PrinterCore::files_delete},
        {"server.history.list", &PrinterCore::history_list},
        {"server.history.get_job", &PrinterCore::history_get_job},
    };
    return table;
}

void PrinterCore::handle_text(ConnectionHdl hdl, const std::string& text) {
    nlohmann::json message = nlohmann::json::parse(text, nullptr, false);
    if (message.is_discarded()) {
        send(hdl, rpc::error(nullptr, -32700, "Parse error"));
        return;
    }
    Request request;
    request.hdl = hdl;
    if (message.is_object()) {
        if (auto id = message.find("id"); id != message.end()) request.id = *id;
        if (auto method = message.find("method"); method != message.end() && method->is_string()) {
            request.method = method->get<std::string>();
        }
        if (auto params = message.find("params"); params != message.end()) request.params = *params;
    }
    if (!message.is_object() || request.method.empty() || message.value("jsonrpc", "") != "2.0") {
        send(hdl, rpc::error(request.id, -32600, "Invalid Request"));
        return;
    }
    if (!message.contains("id")) return;  // a notification: nothing to answer
    if (unauthorized_) {
        reply_error(request, -32602, "Unauthorized");
        return;
    }
    dispatch(std::move(request), true);
}

void PrinterCore::dispatch(Request request, bool apply_faults) {
    if (apply_faults) {
        auto fault = faults_.find(request.method);
        if (fault != faults_.end()) {
            const MethodFault f = fault->second;
            if (f.drop) return;
            if (f.delay.count() > 0) {
                after(f.delay, [this, request = std::move(request), f]() mutable {
                    if (f.error_code != 0) {
                        reply_error(request, f.error_code, f.error_message);
                    } else {
                        dispatch(std::move(request), false);
                    }
                });
                return;
            }
            if (f.error_code != 0) {
                reply_error(request, f.error_code, f.error_message);
                return;
            }
        }
    }
    klippy_.advance(Clock::now());
    auto method = methods().find(request.method);
    if (method == methods().end()) {
        reply_error(request, -32601, "Method not found");
        return;
    }
    try {
        (this->*(method->second))(request);
    } catch (const ArgumentError& error) {
        reply_error(request, 400, error.message);
    }
}

void PrinterCore::reply(const Request& r, const nlohmann::json& result) { send(r.hdl, rpc::result(r.id, result)); }

void PrinterCore::reply_text(const Request& r, std::string_view result_json) {
    send(r.hdl, rpc::result_text(r.id, result_json));
}

void PrinterCore::reply_error(const Request& r, int code, std::string_view message) {
    send(r.hdl, rpc::error(r.id, code, message));
}

bool PrinterCore::require_klippy(const Request& r) {
    if (klippy_.state() != "disconnected") return true;
    // "Klippy Host not connected" while no firmware ever connected,
    // "Klippy Disconnected" once the one that was there went away.
    reply_error(r, 503, klippy_.state_message());
    return false;
}

// ---- printer.* ------------------------------------------------------------------

nlohmann::json PrinterCore::printer_info() const {
    return {{"state", klippy_.state()},
            {"state_message", klippy_.state_message()},
            {"hostname", options_.hostname},
            {"klipper_path", "/home/pi/klipper"},
            {"python_path", "/home/pi/klippy-env/bin/python"},
            {"process_id", 1021},
            {"user_id", 1000},
            {"group_id", 1000},
            {"log_file", "/home/pi/printer_data/logs/klippy.log"},
            {"config_file", "/home/pi/printer_data/config/printer.cfg"},
            {"software_version", options_.software_version},
            {"cpu_info", options_.cpu_info}};
}

void PrinterCore::printer_info_method(const Request& r) {
    if (require_klippy(r)) reply(r, printer_info());
}

void PrinterCore::objects_list(const Request& r) {
    if (!require_klippy(r)) return;
    reply(r, {{"objects", objects_}});
}

void PrinterCore::objects_query(const Request& r) {
    if (!require_klippy(r)) return;
    objects_subscribe(r);
}

void PrinterCore::objects_subscribe(const Request& r) {
    if (!require_klippy(r)) return;
    const nlohmann::json* objects = nullptr;
    if (r.params.is_object()) {
        auto found = r.params.find("objects");
        if (found != r.params.end() && found->is_object()) objects = &*found;
    }
    if (!objects) {
        reply_error(r, 400, "Invalid argument: objects");
        return;
    }
    std::vector<SubscriptionRequest> wanted;
    for (const auto& [name, fields] : objects->items()) {
        SubscriptionRequest entry;
        entry.name = name;
        entry.listed = listed_.count(name) != 0;
        if (fields.is_array()) {
            entry.all_fields = false;
            for (const auto& field : fields) {
                if (field.is_string()) entry.fields.push_back(field.get<std::string>());
            }
        } else if (!fields.is_null()) {
            reply_error(r, 400, "Invalid argument: objects");
            return;
        }
        wanted.push_back(std::move(entry));
    }
    const auto now = Clock::now();
    klippy_.publish(now, options_.stamp_send_time);
    Subscription subscription = klippy_.board().resolve(wanted);

    std::string result = "{\"eventtime\":";
    json_out::number(result, klippy_.eventtime(now));
    result += ",\"status\":";
    klippy_.board().write_full(result, subscription);
    result += "}";
    if (r.method == "printer.objects.subscribe") {
        auto found = connections_.find(r.hdl);
        if (found != connections_.end()) {
            // A new subscription replaces the client's previous one.
            found->second.subscription = std::move(subscription);
            found->second.subscribed = true;
        }
    }
    reply_text(r, result);
}

void PrinterCore::run_script_request(const Request& r, const std::string& script) {
    ScriptResult outcome = klippy_.run_script(script);
    if (outcome.error) {
        reply_error(r, 400, *outcome.error);
    } else {
        reply(r, "ok");
    }
    after_reply(outcome.after);
}

void PrinterCore::gcode_script(const Request& r) {
    if (!require_klippy(r)) return;
    auto script = string_argument(r.params, "script");
    if (!script) {
        reply_error(r, 400, "No data for argument: script");
        return;
    }
    run_script_request(r, *script);
}

void PrinterCore::emergency_stop_method(const Request& r) {
    if (!require_klippy(r)) return;
    reply(r, "ok");
    emergency_stop("Shutdown due to webhooks request");
}

void PrinterCore::restart_method(const Request& r) {
    if (!require_klippy(r)) return;
    reply(r, "ok");
    begin_restart();
}

void PrinterCore::print_start(const Request& r) {
    if (!require_klippy(r)) return;
    auto filename = string_argument(r.params, "filename");
    if (!filename) {
        reply_error(r, 400, "No data for argument: filename");
        return;
    }
    if (auto error = klippy_.start_print(*filename)) {
        gcode_response("!! " + error->substr(0, error->find('\n')));
        reply_error(r, 400, *error);
        return;
    }
    reply(r, "ok");
}

void PrinterCore::print_pause(const Request& r) {
    if (require_klippy(r)) run_script_request(r, "PAUSE");
}

void PrinterCore::print_resume(const Request& r) {
    if (require_klippy(r)) run_script_request(r, "RESUME");
}

void PrinterCore::print_cancel(const Request& r) {
    if (require_klippy(r)) run_script_request(r, "CANCEL_PRINT");
}

// ---- server.* -------------------------------------------------------------------

void PrinterCore::server_info(const Request& r) {
    int open = 0;
    for (const auto& [hdl, connection] : connections_) open += connection.open ? 1 : 0;
    const bool connected = klippy_.state() != "disconnected";
    reply(r, {{"klippy_connected", connected},
              {"klippy_state", connected ? klippy_.state() : std::string("disconnected")},
              {"components",
               {"secrets", "template", "klippy_connection", "jsonrpc", "internal_transport", "application",
                "websockets", "dbus_manager", "database", "file_manager", "authorization", "klippy_apis",
                "shell_command", "machine", "data_store", "proc_stats", "job_state", "job_queue", "history",
                "update_manager", "announcements", "webcam", "extensions"}},
              {"failed_components", nlohmann::json::array()},
              {"registered_directories", {"config", "logs", "gcodes", "config_examples", "docs"}},
              {"warnings", nlohmann::json::array()},
              {"websocket_count", open},
              {"moonraker_version", "v0.9.3-12-g1a2b3c4"},
              {"missing_klippy_requirements", nlohmann::json::array()},
              {"api_version", {1, 5, 0}},
              {"api_version_string", "1.5.0"}});
}

void PrinterCore::connection_identify(const Request& r) {
    auto found = connections_.find(r.hdl);
    reply(r, {{"connection_id", found == connections_.end() ? 0 : found->second.number}});
}

void PrinterCore::files_list(const Request& r) {
    const auto root = string_argument(r.params, "root").value_or("gcodes");
    if (root != "gcodes") {
        reply_error(r, 400, "Invalid root request: " + root);
        return;
    }
    nlohmann::json files = nlohmann::json::array();
    // Named: a range over a member of the temporary would outlive it.
    const nlohmann::json directory = catalog_.directory();
    for (const auto& file : directory["files"]) {
        files.push_back({{"path", file["filename"]},
                         {"modified", file["modified"]},
                         {"size", file["size"]},
                         {"permissions", "rw"}});
    }
    reply(r, files);
}

void PrinterCore::files_directory(const Request& r) {
    std::string path = string_argument(r.params, "path").value_or("gcodes");
    while (!path.empty() && path.back() == '/') path.pop_back();
    if (path != "gcodes") {
        reply_error(r, 400, "Directory does not exist (" + path + ")");
        return;
    }
    reply(r, catalog_.directory());
}

void PrinterCore::files_metadata(const Request& r) {
    auto filename = string_argument(r.params, "filename");
    if (!filename) {
        reply_error(r, 400, "No data for argument: filename");
        return;
    }
    const GcodeFile* file = catalog_.find_file(*filename);
    if (!file) {
        reply_error(r, -32601, "Metadata not available for " + *filename);
        return;
    }
    reply(r, catalog_.metadata(*file));
}

void PrinterCore::files_delete(const Request& r) {
    auto path = string_argument(r.params, "path");
    if (!path) {
        reply_error(r, 400, "No data for argument: path");
        return;
    }
    const auto slash = path->find('/');
    const std::string root = path->substr(0, slash);
    if (root != "gcodes" || slash == std::string::npos) {
        reply_error(r, 400, "Invalid root path (" + root + ")");
        return;
    }
    const std::string name = path->substr(slash + 1);
    const GcodeFile* file = catalog_.find_file(name);
    if (file && (klippy_.print_state() == "printing" || klippy_.print_state() == "paused") &&
        klippy_.job_filename() == file->filename) {
        reply_error(r, 403, "File is loaded, DELETE not permitted");
        return;
    }
    auto item = catalog_.delete_file(name);
    if (!item) {
        reply_error(r, 404, "File does not exist: " + *path);
        return;
    }
    reply(r, {{"item", *item}, {"action", "delete_file"}});
    deferred_.push_back(
        rpc::notification("notify_filelist_changed", nlohmann::json::array({{{"action", "delete_file"}, {"item", *item}}})));
}

void PrinterCore::history_list(const Request& r) {
    const std::int64_t start = int_argument(r.params, "start", 0);
    const std::int64_t limit = int_argument(r.params, "limit", 50);
    std::string order = "desc";
    if (r.params.is_object() && r.params.contains("order") && !r.params["order"].is_null()) {
        const auto& value = r.params["order"];
        order = value.is_string() ? value.get<std::string>() : value.dump();
    }
    if (order != "asc" && order != "desc") {
        reply_error(r, 400, "Invalid `order` value: " + order);
        return;
    }
    reply(r, catalog_.history_page(start, limit, order == "desc"));
}

void PrinterCore::history_get_job(const Request& r) {
    const auto uid = string_argument(r.params, "uid").value_or("");
    const HistoryJob* job = catalog_.find_job(uid);
    if (!job) {
        reply_error(r, 404, "Invalid job uid: " + uid);
        return;
    }
    reply(r, {{"job", catalog_.job(*job)}});
}

// ---- Events from Klippy -----------------------------------------------------------

void PrinterCore::gcode_response(std::string_view text) {
    broadcast(rpc::notification("notify_gcode_response", nlohmann::json::array({std::string(text)})));
}

void PrinterCore::print_started(const GcodeFile& file) {
    current_job_ = catalog_.add_job(file, wall_now());
    const HistoryJob* job = catalog_.find_job(current_job_);
    deferred_.push_back(rpc::notification(
        "notify_history_changed", nlohmann::json::array({{{"action", "added"}, {"job", catalog_.job(*job)}}})));
}

void PrinterCore::print_ended(std::string_view status, double print_duration, double total_duration,
                              double filament_used) {
    const HistoryJob* job = catalog_.finish_job(current_job_, std::string(status), wall_now(), print_duration,
                                                total_duration, filament_used);
    current_job_.clear();
    if (job) {
        deferred_.push_back(rpc::notification(
            "notify_history_changed", nlohmann::json::array({{{"action", "finished"}, {"job", catalog_.job(*job)}}})));
    }
    if (!options_.autoprint_file.empty() && status == "completed") {
        after(std::chrono::milliseconds(1000), [this] { start_print(options_.autoprint_file); });
    }
}

}  // namespace printer_sim::detail
