// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The figures of one farm size. A figure that could not be measured is NaN.

#include <string>
#include <vector>

namespace farm {

struct FarmResult {
    double printers = 0;
    double connect_calls_ms = 0;   // the N connect calls themselves
    double connect_s = 0;          // from the first connect call to all open and subscribed
    double connected = 0;          // printers open and subscribed by then
    double window_s = 0;           // steady window actually measured
    double cpu_s = 0;              // host CPU (user + sys) in the window
    double cpu_percent = 0;        // of one core
    double frames = 0;             // status frames received in the window (by send stamp)
    double reports = 0;            // status reports in the window
    double frames_per_s = 0;
    double expected_frames_per_s = 0;
    double cpu_us_per_frame = 0;
    double rss_base_kib = 0;       // after create + start, no printer
    double rss_streaming_kib = 0;  // all printers open and streaming
    double rss_kib_per_printer = 0;
    double latency_samples = 0;
    double latency_p50_ms = 0;
    double latency_p99_ms = 0;
    double latency_max_ms = 0;
    double steady_drops = 0;       // offline reports from all connected to the end of the window
    double steady_attempts = 0;    // reconnection attempts in that time
    double storm_down = 0;         // printers the host saw closed
    double storm_sim_restart_s = 0;  // SIGTERM until the new simulator listens
    double storm_s = 0;            // SIGTERM until all open and subscribed again
    double storm_after_listen_s = 0;  // the new simulator listening until all open and subscribed again
    double storm_pass_s = 0;       // SIGTERM until the plug-in's first reconnection attempt
    double storm_reconnect_s = 0;  // that attempt until all open and subscribed again
    double storm_attempts = 0;     // most reconnection attempts one printer needed
    double storm_back = 0;         // printers back by then
    double destroy_ms = 0;
    double io_thread_cpu_percent = 0;  // the plug-in's network thread alone
    double io_thread_wait_ms_per_s = 0;  // runnable but not on a CPU
    double io_thread_wakes_per_s = 0;    // times the network thread was put on a CPU
    double simulator_cpu_percent = 0;  // the other process, for context only
    double simulator_wait_ms_per_s = 0;
    double load_average = 0;       // 1-minute load when the window began
    double bare_subscribed = 0;    // printers the bare transport subscribed
    double bare_cpu_percent = 0;   // the bare transport's CPU over the same window length
    double bare_cpu_us_per_frame = 0;  // per status frame, like cpu_us_per_frame
    double cpu_vs_bare = 0;        // the plug-in's steady CPU over the bare transport's
    double bare_wakes_per_s = 0;   // the bare transport's thread, as io_thread_wakes_per_s
    double bare_paused_cpu_percent = 0;   // the bare transport pausing after busy wakes as the plug-in does
    double bare_paused_cpu_us_per_frame = 0;
    double bare_paused_wakes_per_s = 0;
    double cpu_vs_bare_paused = 0;
};

struct FieldInfo {
    const char* name;
    double FarmResult::*member;
};
// Every field in CSV order.
const std::vector<FieldInfo>& result_fields();

// One "name=value" line per field, the way a measuring process hands its
// figures to the parent.
std::string serialise(const FarmResult& result);
// Fields missing from the text stay NaN.
FarmResult deserialise(const std::string& text);

}  // namespace farm
