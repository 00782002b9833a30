// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A stand-in for what the protocol layer reports through: it records every
// report and every request a printer's session makes, in order, so that the
// session can be tested, fuzzed and measured with no agent behind it. A
// request is recorded as the text the agent would send for it.
//
// Header only, for targets that link the plug-in's objects (it names the
// protocol layer's own interface). Not thread-safe: a session calls it from
// one thread, as the agent's network thread does.

#include <string>
#include <vector>

#include "pemra_network/machine_status.h"
#include "protocol/requests.h"
#include "protocol/uplink.h"

namespace testkit {

struct UplinkCall {
    std::string kind;       // "status", "file_list", "file_meta", "history", "error",
                            // "file_changed", "history_changed" or "request"
    std::string device_id;
    std::string text;       // a text report's text, or the request's text
    MachineStatus status;   // of a "status" report
};

class RecordingUplink final : public pemra::protocol::Uplink {
public:
    void report_machine_status(const std::string& device_id, const MachineStatus& status) override {
        calls_.push_back({"status", device_id, {}, status});
    }
    void report_file_list(const std::string& device_id, const std::string& text) override {
        add("file_list", device_id, text);
    }
    void report_file_meta(const std::string& device_id, const std::string& text) override {
        add("file_meta", device_id, text);
    }
    void report_print_history(const std::string& device_id, const std::string& text) override {
        add("history", device_id, text);
    }
    void report_error(const std::string& device_id, const std::string& text) override { add("error", device_id, text); }
    void report_file_changed(const std::string& device_id, const std::string& text) override {
        add("file_changed", device_id, text);
    }
    void report_history_changed(const std::string& device_id, const std::string& text) override {
        add("history_changed", device_id, text);
    }

    void request_objects_list(const std::string& device_id) override {
        add("request", device_id, std::string(pemra::protocol::requests::kObjectsListText));
    }
    void request_objects_subscribe(const std::string& device_id, const std::string& objects_param) override {
        add("request", device_id, pemra::protocol::requests::objects_subscribe(objects_param));
    }
    void request_printer_info(const std::string& device_id) override {
        add("request", device_id, std::string(pemra::protocol::requests::kPrinterInfoText));
    }
    void request_last_history(const std::string& device_id) override {
        add("request", device_id, std::string(pemra::protocol::requests::kLastHistoryText));
    }

    const std::vector<UplinkCall>& calls() const { return calls_; }
    // The reports alone, requests left out.
    std::vector<UplinkCall> reports() const {
        std::vector<UplinkCall> out;
        for (const auto& c : calls_) {
            if (c.kind != "request") out.push_back(c);
        }
        return out;
    }
    // The texts of the requests, in order.
    std::vector<std::string> requests() const {
        std::vector<std::string> out;
        for (const auto& c : calls_) {
            if (c.kind == "request") out.push_back(c.text);
        }
        return out;
    }
    void clear() { calls_.clear(); }

private:
    void add(const char* kind, const std::string& device_id, const std::string& text) {
        calls_.push_back({kind, device_id, text, {}});
    }

    std::vector<UplinkCall> calls_;
};

}  // namespace testkit
