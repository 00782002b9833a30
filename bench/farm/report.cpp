// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "report.h"

#include <cmath>
#include <fstream>

namespace farm {
namespace {

std::string number(double value, const char* format) {
    if (std::isnan(value)) return "-";
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string verdict(const Goal& goal, const FarmResult& result) {
    const double figure = result.*goal.figure;
    if (std::isnan(figure)) return "miss (not measured)";
    char text[96];
    if (goal.limit == 0) {
        // A count that must stay zero has no share of its limit to show.
        if (meets(goal, result)) return "pass";
        std::snprintf(text, sizeof text, "miss by %.0f", figure);
    } else if (meets(goal, result)) {
        std::snprintf(text, sizeof text, "pass (%.0f %% of the limit)", 100.0 * figure / goal.limit);
    } else {
        std::snprintf(text, sizeof text, "miss by %.3g %s (%.0f %% over)", figure - goal.limit, goal.unit,
                      100.0 * (figure - goal.limit) / goal.limit);
    }
    return text;
}

}  // namespace

const std::vector<Goal>& goals() {
    static const std::vector<Goal> list = {
        {"steady CPU, % of one core", "<= 4", 4.0, true, &FarmResult::cpu_percent, "%"},
        {"CPU against the bare transport, times", "<= 0.7", 0.7, true, &FarmResult::cpu_vs_bare, "x"},
        {"CPU per frame, us", "<= 12", 12.0, true, &FarmResult::cpu_us_per_frame, "us"},
        {"resident memory per printer, KiB", "<= 32", 32.0, true, &FarmResult::rss_kib_per_printer, "KiB"},
        {"latency p50, ms", "<= 6", 6.0, true, &FarmResult::latency_p50_ms, "ms"},
        {"latency p99 (the budget), ms", "<= 10", 10.0, true, &FarmResult::latency_p99_ms, "ms"},
        {"all back after a storm, s", "<= 20 (2 passes)", 20.0, true, &FarmResult::storm_s, "s"},
        {"back after the farm listens again, s", "<= 3", 3.0, true, &FarmResult::storm_after_listen_s, "s"},
        {"reconnection attempts while streaming", "0", 0.0, true, &FarmResult::steady_attempts, ""},
        {"destroy with all open, ms", "< 1000", 1000.0, false, &FarmResult::destroy_ms, "ms"},
    };
    return list;
}

bool meets(const Goal& goal, const FarmResult& result) {
    const double figure = result.*goal.figure;
    if (std::isnan(figure)) return false;
    return goal.inclusive ? figure <= goal.limit : figure < goal.limit;
}

void print_table(std::FILE* out, const std::vector<FarmResult>& results, double window_s, bool pinned) {
    std::fprintf(out, "\nfarm benchmark: %.0f s steady window; status frames every 250 ms per printer%s\n\n", window_s,
                 pinned ? "; host on CPU 0, simulator on CPU 1" : "");
    std::fprintf(out, "%8s %9s %7s %9s %15s %11s %8s %8s %8s %8s %8s %10s\n", "printers", "connect", "CPU", "CPU/frame",
                 "frames/s", "RSS/printer", "p50", "p99", "max", "storm", "attempts", "destroy");
    std::fprintf(out, "%8s %9s %7s %9s %15s %11s %8s %8s %8s %8s %8s %10s\n", "", "s", "% core", "us",
                 "got (expected)", "KiB", "ms", "ms", "ms", "s", "", "ms");
    for (const auto& r : results) {
        const std::string frames =
            number(r.frames_per_s, "%.0f") + " (" + number(r.expected_frames_per_s, "%.0f") + ")";
        std::fprintf(out, "%8.0f %9s %7s %9s %15s %11s %8s %8s %8s %8s %8s %10s\n", r.printers,
                     number(r.connect_s, "%.3f").c_str(), number(r.cpu_percent, "%.2f").c_str(),
                     number(r.cpu_us_per_frame, "%.1f").c_str(), frames.c_str(),
                     number(r.rss_kib_per_printer, "%.1f").c_str(), number(r.latency_p50_ms, "%.3f").c_str(),
                     number(r.latency_p99_ms, "%.3f").c_str(), number(r.latency_max_ms, "%.2f").c_str(),
                     number(r.storm_s, "%.2f").c_str(), number(r.storm_attempts, "%.0f").c_str(),
                     number(r.destroy_ms, "%.1f").c_str());
    }
    std::fprintf(out,
                 "\nframes: status frames told apart by the send stamp in each (the plug-in reports\n"
                 "twice per frame); CPU: this process (user + sys), the simulator not counted;\n"
                 "storm: from SIGTERM to the simulator until all are open and subscribed again,\n"
                 "attempts: most reconnection attempts one printer needed.\n");
    for (const auto& r : results) {
        std::fprintf(out,
                     "  N=%.0f: %.0f reports for %.0f frames; %.0f latency samples; storm: %.0f seen closed, "
                     "new simulator listening after %s s,\n"
                     "        first reconnection attempt after %s s, all back %s s after it\n"
                     "        network thread %s %% of a core, %s wakes/s, waited for a CPU %s ms/s; simulator %s %%, "
                     "waited %s ms/s; load %.2f\n"
                     "        while streaming: %.0f printers seen offline, %.0f reconnection attempts\n"
                     "        bare transport (the floor): %.0f subscribed, %s %% of a core, %s us per status frame, "
                     "%s wakes/s; the plug-in %s times that\n"
                     "        bare transport pausing as the plug-in does: %s %% of a core, %s us per status frame, "
                     "%s wakes/s; the plug-in %s times that\n",
                     r.printers, r.reports, r.frames, r.latency_samples, r.storm_down,
                     number(r.storm_sim_restart_s, "%.2f").c_str(), number(r.storm_pass_s, "%.2f").c_str(),
                     number(r.storm_reconnect_s, "%.2f").c_str(), number(r.io_thread_cpu_percent, "%.2f").c_str(),
                     number(r.io_thread_wakes_per_s, "%.0f").c_str(), number(r.io_thread_wait_ms_per_s, "%.1f").c_str(),
                     number(r.simulator_cpu_percent, "%.1f").c_str(), number(r.simulator_wait_ms_per_s, "%.1f").c_str(),
                     r.load_average, r.steady_drops, r.steady_attempts, r.bare_subscribed,
                     number(r.bare_cpu_percent, "%.2f").c_str(), number(r.bare_cpu_us_per_frame, "%.1f").c_str(),
                     number(r.bare_wakes_per_s, "%.0f").c_str(), number(r.cpu_vs_bare, "%.2f").c_str(),
                     number(r.bare_paused_cpu_percent, "%.2f").c_str(),
                     number(r.bare_paused_cpu_us_per_frame, "%.1f").c_str(),
                     number(r.bare_paused_wakes_per_s, "%.0f").c_str(), number(r.cpu_vs_bare_paused, "%.2f").c_str());
    }

    const FarmResult* goal_row = nullptr;
    for (const auto& r : results) {
        if (r.printers == kGoalPrinters) goal_row = &r;
    }
    std::fprintf(out, "\ngoals for N=%d:\n", kGoalPrinters);
    if (!goal_row) {
        std::fprintf(out, "  not judged: no run with %d printers\n", kGoalPrinters);
        return;
    }
    for (const auto& goal : goals()) {
        std::fprintf(out, "  %-38s %-18s %10s  %s\n", goal.name, goal.target,
                     number(goal_row->*goal.figure, "%.3f").c_str(), verdict(goal, *goal_row).c_str());
    }
}

bool write_csv(const std::string& path, const std::vector<FarmResult>& results) {
    std::ofstream out(path, std::ios::trunc);
    if (!out) return false;
    const auto& fields = result_fields();
    for (std::size_t i = 0; i < fields.size(); ++i) out << (i ? "," : "") << fields[i].name;
    for (const auto& goal : goals()) {
        std::string name = std::string("goal ") + goal.name;
        for (char& c : name) c = (c == ',' || c == ' ') ? '_' : c;
        out << "," << name;
    }
    out << "\n";
    for (const auto& r : results) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const double value = r.*fields[i].member;
            out << (i ? "," : "");
            if (!std::isnan(value)) {
                char text[64];
                std::snprintf(text, sizeof text, "%.6g", value);
                out << text;
            }
        }
        for (const auto& goal : goals()) {
            out << ",";
            if (r.printers == kGoalPrinters) out << (meets(goal, r) ? "pass" : "miss");
        }
        out << "\n";
    }
    return static_cast<bool>(out.flush());
}

}  // namespace farm
