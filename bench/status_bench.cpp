// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The network thread's work per printer frame: parse, route, read into the
// status record and hand a copy to the host, next to a bare parse of the
// same text.

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <benchmark/benchmark.h>
#include <simdjson.h>
#include <websocketpp/utf8_validator.hpp>

#include "agent/printer_manager.h"
#include "connection/printer_connection.h"
#include "protocol/frame_parser.h"
#include "status/json_read.h"

namespace {

std::string load(const char* name) {
    std::ifstream in(std::string(PEMRA_BENCH_DATA) + "/" + name);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Fixture {
    Fixture() : agent(quick_queue()) {
        agent.set_machine_status_changed_fn([this](std::string, MachineStatus s) {
            benchmark::DoNotOptimize(s.machine_state);
            ++reports;
        });
    }
    static pemra::Timings quick_queue() {
        pemra::Timings t;
        t.queue_wait = std::chrono::milliseconds(0);
        return t;
    }
    pemra::PrinterManager agent;
    std::shared_ptr<pemra::PrinterConnection> record =
        std::make_shared<pemra::PrinterConnection>("printer-1");
    long reports = 0;
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
    for (auto _ : state) f.record->session.handle_message(text, f.agent.frame_parser(), f.agent);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
    state.counters["reports/frame"] = static_cast<double>(f.reports) / static_cast<double>(state.iterations());
}

void apply_status_update(benchmark::State& state, const char* file) {
    const std::string text = load(file);
    pemra::protocol::FrameParser parser;
    const auto doc = parser.parse(text).root;
    const auto params = pemra::json_read::find(doc, "params");
    const auto element = params ? pemra::json_read::last_element(*params)
                                : pemra::json_read::find(*pemra::json_read::find(doc, "result"), "status");
    Fixture f;
    for (auto _ : state) f.record->session.apply_status_update(*element, f.agent);
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
