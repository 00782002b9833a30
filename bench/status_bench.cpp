// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The network thread's work per printer frame: parse, route, read into the
// status record and hand a copy to the host, next to a bare parse of the
// same text. A printer's session alone, reporting to a stand-in for the
// agent that copies each status as the host's callback receives it.

#include <fstream>
#include <iterator>
#include <string>

#include <benchmark/benchmark.h>
#include <simdjson.h>
#include <websocketpp/utf8_validator.hpp>

#include "protocol/frame_parser.h"
#include "protocol/printer_session.h"
#include "protocol/uplink.h"
#include "status/json_read.h"

namespace {

std::string load(const char* name) {
    std::ifstream in(std::string(PEMRA_BENCH_DATA) + "/" + name);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The host's side of a report: the status by value, as its callback gets it.
class HostCopyUplink final : public pemra::protocol::Uplink {
public:
    void report_machine_status(const std::string& device_id, const MachineStatus& status) override {
        MachineStatus copy = status;
        benchmark::DoNotOptimize(copy.machine_state);
        benchmark::DoNotOptimize(device_id.size());
        ++reports;
    }
    void report_file_list(const std::string&, const std::string& text) override { copy(text); }
    void report_file_meta(const std::string&, const std::string& text) override { copy(text); }
    void report_print_history(const std::string&, const std::string& text) override { copy(text); }
    void report_error(const std::string&, const std::string& text) override { copy(text); }
    void report_file_changed(const std::string&, const std::string& text) override { copy(text); }
    void report_history_changed(const std::string&, const std::string& text) override { copy(text); }
    void request_objects_list(const std::string&) override {}
    void request_objects_subscribe(const std::string&, const std::string&) override {}
    void request_printer_info(const std::string&) override {}
    void request_last_history(const std::string&) override {}

    long reports = 0;

private:
    static void copy(const std::string& text) {
        std::string held = text;
        benchmark::DoNotOptimize(held.data());
    }
};

struct Fixture {
    pemra::protocol::FrameParser parser;
    HostCopyUplink uplink;
    pemra::protocol::PrinterSession session{"printer-1"};
};

void parse_only(benchmark::State& state, const char* file) {
    const std::string text = load(file);
    pemra::protocol::FrameParser parser;
    for (auto _ : state) {
        auto parsed = parser.parse(text);
        benchmark::DoNotOptimize(parsed.root);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void handle_message(benchmark::State& state, const char* file) {
    const std::string text = load(file);
    Fixture f;
    for (auto _ : state) f.session.handle_message(text, f.parser, f.uplink);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["reports/frame"] = static_cast<double>(f.uplink.reports) / static_cast<double>(state.iterations());
}

void apply_status_update(benchmark::State& state, const char* file) {
    const std::string text = load(file);
    pemra::protocol::FrameParser parser;
    const auto doc = parser.parse(text).root;
    const auto params = pemra::json_read::find(doc, "params");
    const auto element = params ? pemra::json_read::last_element(*params)
                                : pemra::json_read::find(*pemra::json_read::find(doc, "result"), "status");
    Fixture f;
    for (auto _ : state) f.session.apply_status_update(*element, f.uplink);
}

// A received text message's UTF-8 check: the client library's own, a byte at
// a time, and the whole-message check the plug-in makes instead.
void utf8_client_library(benchmark::State& state, const char* file) {
    const std::string text = load(file);
    for (auto _ : state) benchmark::DoNotOptimize(websocketpp::utf8_validator::validate(text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void utf8_whole(benchmark::State& state, const char* file) {
    const std::string text = load(file);
    for (auto _ : state) benchmark::DoNotOptimize(simdjson::validate_utf8(text.data(), text.size()));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK_CAPTURE(parse_only, subscribe_reply, "subscribe_reply.json");
BENCHMARK_CAPTURE(handle_message, subscribe_reply, "subscribe_reply.json");
BENCHMARK_CAPTURE(apply_status_update, subscribe_reply, "subscribe_reply.json");
BENCHMARK_CAPTURE(parse_only, notify_printing, "notify_printing.json");
BENCHMARK_CAPTURE(handle_message, notify_printing, "notify_printing.json");
BENCHMARK_CAPTURE(apply_status_update, notify_printing, "notify_printing.json");
BENCHMARK_CAPTURE(parse_only, notify_idle, "notify_idle.json");
BENCHMARK_CAPTURE(handle_message, notify_idle, "notify_idle.json");
BENCHMARK_CAPTURE(parse_only, notify_proc_stat, "notify_proc_stat.json");
BENCHMARK_CAPTURE(handle_message, notify_proc_stat, "notify_proc_stat.json");

BENCHMARK_CAPTURE(utf8_client_library, notify_printing, "notify_printing.json");
BENCHMARK_CAPTURE(utf8_whole, notify_printing, "notify_printing.json");

BENCHMARK_MAIN();
