// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <cstdio>
#include <ctime>

#include "json_text.h"

namespace monitor {

Json reply_payload(const std::string& text) {
    Json parsed = Json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) return Json(text);
    return parsed;
}

std::string dump(const Json& value, int indent) {
    return value.dump(indent, ' ', /*ensure_ascii=*/false, nlohmann::detail::error_handler_t::replace);
}

std::string utc_time(std::chrono::system_clock::time_point time) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms % 1000));
    return text;
}

std::string event_json_line(const Event& event) {
    Json j = Json::object();
    j["event"] = event_name(event.kind);
    j["device_id"] = event.device_id;
    j["time"] = utc_time(event.time);
    switch (event.kind) {
        case EventKind::status: j["status"] = status_to_json(event.status); break;
        case EventKind::file_list:
        case EventKind::file_meta:
        case EventKind::history: j["reply"] = reply_payload(event.text); break;
        case EventKind::error: j["message"] = event.text; break;
        case EventKind::file_changed:
        case EventKind::history_changed: j["text"] = event.text; break;
    }
    return dump(j) + "\n";
}

}  // namespace monitor
