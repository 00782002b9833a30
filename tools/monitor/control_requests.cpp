// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "control_requests.h"

#include "json_text.h"

namespace monitor {
namespace {

const char* method_of(Command command) {
    switch (command) {
        case Command::print: return "printer.print.start";
        case Command::pause: return "printer.print.pause";
        case Command::resume: return "printer.print.resume";
        case Command::cancel: return "printer.print.cancel";
        case Command::estop: return "printer.emergency_stop";
        case Command::gcode: return "printer.gcode.script";
        default: return "";
    }
}

}  // namespace

std::string control_request(Command command, const std::string& file, const std::string& script) {
    Json request = Json::object();
    request["jsonrpc"] = "2.0";
    request["method"] = method_of(command);
    Json params = Json::object();
    if (command == Command::print) params["filename"] = file;
    if (command == Command::gcode) params["script"] = script;
    request["params"] = std::move(params);
    request["id"] = command == Command::gcode ? kScriptReplyId : 0;
    return dump(request);
}

}  // namespace monitor
