// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "farm_run.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>

#include "bare_transport.h"
#include "host_support.h"
#include "process_stats.h"
#include "simulator_process.h"
#include "status_observer.h"
#include "testkit/plugin_library.h"

namespace farm {
namespace {

// The simulator's default rate: four status frames per printer per second.
constexpr double kFramesPerSecond = 4.0;
constexpr int kConnectPhase = 1;
constexpr int kStormPhase = 2;
// The plug-in's fixed liveness interval: closed printers are reconnected
// only on these passes.
constexpr double kLivenessPassS = 10.0;
constexpr int kHostCpu = 0;
constexpr int kSimulatorCpu = 1;

// The name the plug-in gives its network thread, for the scheduler's figures.
constexpr const char* kNetworkThread = "pemra-io";
// The plug-in's pause after a busy wake of that thread, for the bare
// transport run alike.
constexpr std::chrono::microseconds kBatchPause{5000};

int g_printers = 0;

void progress(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "[N=%d] %s\n", g_printers, text);
}

void sleep_s(double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); }

std::int64_t after_s(double seconds) { return steady_ns() + static_cast<std::int64_t>(seconds * 1e9); }

bool wait_ready(const StatusObserver& observer, int phase, int printers, std::int64_t deadline_ns) {
    while (observer.ready(phase) < printers) {
        if (steady_ns() > deadline_ns) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

double seconds_between(std::int64_t from_ns, std::int64_t to_ns) { return static_cast<double>(to_ns - from_ns) / 1e9; }

// Nearest rank, so every figure is a latency that was actually seen.
double percentile(const std::vector<double>& sorted, double share) {
    if (sorted.empty()) return std::nan("");
    const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
    return sorted[std::min(sorted.size(), std::max<std::size_t>(rank, 1)) - 1];
}

bool known(const SchedTimes& before, const SchedTimes& after) { return before.on_cpu_s >= 0 && after.on_cpu_s >= 0; }

void write_samples(const std::string& prefix, int printers, const std::vector<StatusObserver::Sample>& samples) {
    const std::string path = prefix + "-" + std::to_string(printers) + ".csv";
    std::FILE* out = std::fopen(path.c_str(), "w");
    if (!out) {
        progress("warning: cannot write %s", path.c_str());
        return;
    }
    std::fprintf(out, "printer,sent,received,latency_us\n");
    for (const auto& s : samples) {
        std::fprintf(out, "%d,%.6f,%.6f,%.1f\n", s.printer, s.sent, s.received, (s.received - s.sent) * 1e6);
    }
    std::fclose(out);
}

}  // namespace

// The floor: the bare transport against the same farm, in this process once
// the agent is gone, over a window of the same length; with a `pause`, as
// the plug-in's network thread batches its frames.
struct BareFigures {
    double subscribed = 0;
    double cpu_percent = 0;
    double cpu_us_per_frame = 0;
    double wakes_per_s = 0;
};

BareFigures measure_bare_transport(const Options& options, const SimulatorProcess& simulator, int printers,
                                   std::chrono::microseconds pause, double plugin_cpu_percent) {
    std::atomic<std::uint64_t> reports{0};
    BareTransport bare(
        [&reports](std::string device_id, MachineStatus status) {
            if (!device_id.empty() && status.heartbeat >= pemra::heartbeat::unknown) {
                reports.fetch_add(1, std::memory_order_relaxed);
            }
        },
        pause);
    bare.connect(simulator.addresses());
    const std::int64_t deadline = after_s(options.timeout_s);
    while (bare.subscribed() < printers && steady_ns() < deadline) sleep_s(0.05);
    BareFigures f;
    f.subscribed = bare.subscribed();
    sleep_s(options.settle_s);
    const double cpu_before = own_cpu_seconds();
    const SchedTimes thread_before = sched_times(getpid(), BareTransport::kThreadName);
    const std::uint64_t frames_before = bare.frames();
    const std::uint64_t status_frames_before = bare.status_frames();
    const std::int64_t start = steady_ns();
    sleep_s(options.window_s);
    const double window = seconds_between(start, steady_ns());
    const double cpu = own_cpu_seconds() - cpu_before;
    const SchedTimes thread_after = sched_times(getpid(), BareTransport::kThreadName);
    const double frames = static_cast<double>(bare.frames() - frames_before);
    const double status_frames = static_cast<double>(bare.status_frames() - status_frames_before);
    f.cpu_percent = 100.0 * cpu / window;
    // Per status frame, as the plug-in's figure is: the host-statistics
    // frames' cost is spread over them in both.
    f.cpu_us_per_frame = status_frames > 0 ? cpu * 1e6 / status_frames : std::nan("");
    f.wakes_per_s = known(thread_before, thread_after) ? (thread_after.slices - thread_before.slices) / window
                                                       : std::nan("");
    progress("bare transport%s: %d subscribed, CPU %.2f %% of a core, %.1f us per status frame, %.0f wakes/s "
             "(%.0f status frames/s, %.0f frames/s, %llu reports); the plug-in used %.2f times that",
             pause.count() > 0 ? " pausing after busy wakes" : "", static_cast<int>(f.subscribed), f.cpu_percent,
             f.cpu_us_per_frame, f.wakes_per_s, status_frames / window, frames / window,
             static_cast<unsigned long long>(reports.load()), plugin_cpu_percent / f.cpu_percent);
    return f;
}

FarmResult run_farm(const Options& options, int printers) {
    g_printers = printers;
    FarmResult r;
    r.printers = printers;
    const double nan = std::nan("");

    const std::uint64_t file_limit = raise_file_limit();
    if (file_limit < static_cast<std::uint64_t>(printers) + 64) {
        progress("warning: only %llu open files allowed", static_cast<unsigned long long>(file_limit));
    }
    if (options.pin) {
        // Before the agent starts its threads, which inherit the mask. The
        // simulator otherwise often wakes the network thread on its own CPU
        // and makes it wait until its 10 ms slot of work is done.
        if (!pin_to_cpu(kHostCpu)) throw std::runtime_error("cannot pin the host to CPU 0");
        progress("host pinned to CPU %d, simulator to CPU %d", kHostCpu, kSimulatorCpu);
    }

    // A status frame per printer every 250 ms over the window, with room
    // to spare; allocated and touched before the memory baseline.
    const auto capacity = static_cast<std::size_t>(printers * kFramesPerSecond * (options.window_s + 2) * 1.5) + 4096;
    StatusObserver observer(printers, capacity);

    const std::string work_dir = make_work_dir("pemra-farm-bench");
    const std::string log_dir = options.log_dir.empty() ? work_dir : options.log_dir;
    SimulatorSettings settings{options.simulator, printers, {},
                               options.printing, work_dir + "/ports", options.simulator_args,
                               options.pin ? kSimulatorCpu : -1};
    const auto timeout = std::chrono::milliseconds(static_cast<std::int64_t>(options.timeout_s * 1000));

    auto simulator = std::make_unique<SimulatorProcess>(settings);
    if (!simulator->wait_listening(timeout)) throw std::runtime_error("the simulator did not come up");
    const std::vector<std::string> addresses = simulator->addresses();
    progress("simulator %d listening on %s ... %s", static_cast<int>(simulator->pid()), addresses.front().c_str(),
             addresses.back().c_str());

    const testkit::PluginLibrary library(options.plugin);
    const testkit::PluginApi& plugin = library.api();
    AgentGuard agent(plugin, plugin.pemra_network_create_agent(log_dir, options.log_level));
    plugin.pemra_set_machine_status_changed_fn(agent.get(), [&observer](std::string device_id, MachineStatus status) {
        observer.on_status(device_id, status);
    });
    plugin.pemra_network_start(agent.get());
    const std::int64_t agent_start = steady_ns();
    sleep_s(0.3);
    r.rss_base_kib = own_rss_kib();

    // ---- connect ------------------------------------------------------------
    observer.begin_phase(kConnectPhase, true);
    const std::int64_t connect_start = steady_ns();
    for (int i = 0; i < printers; ++i) {
        plugin.pemra_network_connect_printer(agent.get(), StatusObserver::device_id(i), addresses[static_cast<std::size_t>(i)], "", "");
    }
    r.connect_calls_ms = seconds_between(connect_start, steady_ns()) * 1e3;
    const bool connected = wait_ready(observer, kConnectPhase, printers, after_s(options.timeout_s));
    r.connected = observer.ready(kConnectPhase);
    r.connect_s = connected ? seconds_between(connect_start, observer.all_ready_ns(kConnectPhase)) : nan;
    if (connected) {
        progress("all open and subscribed %.3f s after the first connect call", r.connect_s);
    } else {
        progress("only %d of %d open and subscribed after %.0f s", static_cast<int>(r.connected), printers,
                 options.timeout_s);
    }

    // ---- steady streaming -----------------------------------------------------
    const std::uint64_t offline_before = observer.offline_reports();
    const std::uint64_t attempts_before = observer.attempt_reports();
    sleep_s(options.settle_s);
    progress("measuring a %.0f s window", options.window_s);
    r.load_average = load_average();
    const double cpu_before = own_cpu_seconds();
    const double simulator_before = process_cpu_seconds(simulator->pid());
    const SchedTimes io_before = sched_times(getpid(), kNetworkThread);
    const SchedTimes simulator_sched_before = sched_times(simulator->pid(), nullptr);
    const std::uint64_t frames_before = observer.frames();
    const std::uint64_t reports_before = observer.reports();
    const std::int64_t window_start = steady_ns();
    observer.start_sampling();
    sleep_s(options.window_s);
    observer.stop_sampling();
    const std::int64_t window_end = steady_ns();
    const double cpu_after = own_cpu_seconds();
    const double simulator_after = process_cpu_seconds(simulator->pid());
    const SchedTimes io_after = sched_times(getpid(), kNetworkThread);
    const SchedTimes simulator_sched_after = sched_times(simulator->pid(), nullptr);
    r.frames = static_cast<double>(observer.frames() - frames_before);
    r.reports = static_cast<double>(observer.reports() - reports_before);
    r.rss_streaming_kib = own_rss_kib();
    r.steady_drops = static_cast<double>(observer.offline_reports() - offline_before);
    r.steady_attempts = static_cast<double>(observer.attempt_reports() - attempts_before);

    r.window_s = seconds_between(window_start, window_end);
    r.cpu_s = cpu_after - cpu_before;
    r.cpu_percent = 100.0 * r.cpu_s / r.window_s;
    r.frames_per_s = r.frames / r.window_s;
    r.expected_frames_per_s = printers * kFramesPerSecond;
    r.cpu_us_per_frame = r.frames > 0 ? r.cpu_s * 1e6 / r.frames : nan;
    r.rss_kib_per_printer = (r.rss_streaming_kib - r.rss_base_kib) / printers;
    r.simulator_cpu_percent =
        simulator_before >= 0 && simulator_after >= 0 ? 100.0 * (simulator_after - simulator_before) / r.window_s : nan;

    r.io_thread_cpu_percent = known(io_before, io_after) ? 100.0 * (io_after.on_cpu_s - io_before.on_cpu_s) / r.window_s : nan;
    r.io_thread_wait_ms_per_s =
        known(io_before, io_after) ? 1e3 * (io_after.waiting_s - io_before.waiting_s) / r.window_s : nan;
    r.io_thread_wakes_per_s = known(io_before, io_after) ? (io_after.slices - io_before.slices) / r.window_s : nan;
    r.simulator_wait_ms_per_s = known(simulator_sched_before, simulator_sched_after)
                                    ? 1e3 * (simulator_sched_after.waiting_s - simulator_sched_before.waiting_s) / r.window_s
                                    : nan;

    const std::vector<StatusObserver::Sample> samples = observer.samples();
    if (!options.samples_prefix.empty()) write_samples(options.samples_prefix, printers, samples);
    std::vector<double> latencies;
    latencies.reserve(samples.size());
    for (const auto& sample : samples) latencies.push_back((sample.received - sample.sent) * 1e6);
    std::sort(latencies.begin(), latencies.end());
    r.latency_samples = static_cast<double>(latencies.size());
    r.latency_p50_ms = percentile(latencies, 0.50) / 1e3;
    r.latency_p99_ms = percentile(latencies, 0.99) / 1e3;
    r.latency_max_ms = latencies.empty() ? nan : latencies.back() / 1e3;
    if (observer.samples_lost() > 0) {
        progress("warning: %llu latency samples did not fit", static_cast<unsigned long long>(observer.samples_lost()));
    }
    progress("CPU %.2f %% of a core (network thread %.2f %%, %.0f wakes/s, waited for a CPU %.1f ms/s), %.1f frames/s, "
             "RSS %.0f -> %.0f KiB, latency p50 %.3f p99 %.3f max %.3f ms, %.0f dropped, %.0f reconnection attempts",
             r.cpu_percent, r.io_thread_cpu_percent, r.io_thread_wakes_per_s, r.io_thread_wait_ms_per_s, r.frames_per_s, r.rss_base_kib,
             r.rss_streaming_kib, r.latency_p50_ms, r.latency_p99_ms, r.latency_max_ms, r.steady_drops,
             r.steady_attempts);

    // ---- reconnection storm -------------------------------------------------------
    if (options.storm_lead_s >= 0) {
        // Passes follow the start every interval (plus the few milliseconds
        // each pass takes, which this ignores).
        const double since_start = seconds_between(agent_start, steady_ns());
        double at = (std::floor(since_start / kLivenessPassS) + 1) * kLivenessPassS - options.storm_lead_s;
        if (at < since_start + 0.05) at += kLivenessPassS;
        sleep_s(at - since_start);
    }
    progress("storm: stopping the simulator and starting a new one on the same ports");
    observer.begin_phase(kStormPhase, false);
    const std::int64_t storm_start = steady_ns();
    simulator->stop();
    // The plug-in reconnects to the addresses it was given, so the new
    // simulator takes over the old one's ports. Something else may grab one
    // in between; the simulator then fails to bind and says so, and the
    // storm reports that it did not come back.
    settings.ports = ports_of(addresses);
    simulator = std::make_unique<SimulatorProcess>(settings);
    const bool listening = simulator->wait_listening(timeout);
    r.storm_sim_restart_s = listening ? seconds_between(storm_start, steady_ns()) : nan;
    const bool back = listening && wait_ready(observer, kStormPhase, printers, storm_start + timeout.count() * 1000000);
    r.storm_down = observer.down(kStormPhase);
    r.storm_back = observer.ready(kStormPhase);
    r.storm_s = back ? seconds_between(storm_start, observer.all_ready_ns(kStormPhase)) : nan;
    r.storm_after_listen_s = r.storm_s - r.storm_sim_restart_s;
    const std::int64_t first_attempt = observer.first_attempt_ns(kStormPhase);
    r.storm_pass_s = first_attempt ? seconds_between(storm_start, first_attempt) : nan;
    r.storm_reconnect_s = back && first_attempt ? seconds_between(first_attempt, observer.all_ready_ns(kStormPhase)) : nan;
    r.storm_attempts = observer.most_attempts(kStormPhase);
    if (back) {
        progress("storm: %d seen closed, all back %.3f s after SIGTERM (new simulator listening after %.3f s, "
                 "first reconnection attempt after %.3f s, at most %d attempts per printer)",
                 static_cast<int>(r.storm_down), r.storm_s, r.storm_sim_restart_s, r.storm_pass_s,
                 static_cast<int>(r.storm_attempts));
    } else {
        progress("storm: only %d of %d back after %.0f s", static_cast<int>(r.storm_back), printers, options.timeout_s);
    }

    // ---- destroy --------------------------------------------------------------------
    sleep_s(std::min(options.settle_s, 1.0));
    const std::int64_t destroy_start = steady_ns();
    agent.destroy();
    r.destroy_ms = seconds_between(destroy_start, steady_ns()) * 1e3;
    progress("destroy took %.1f ms", r.destroy_ms);

    const BareFigures bare = measure_bare_transport(options, *simulator, printers, {}, r.cpu_percent);
    r.bare_subscribed = bare.subscribed;
    r.bare_cpu_percent = bare.cpu_percent;
    r.bare_cpu_us_per_frame = bare.cpu_us_per_frame;
    r.bare_wakes_per_s = bare.wakes_per_s;
    r.cpu_vs_bare = r.cpu_percent / r.bare_cpu_percent;
    const BareFigures paused = measure_bare_transport(options, *simulator, printers, kBatchPause, r.cpu_percent);
    r.bare_paused_cpu_percent = paused.cpu_percent;
    r.bare_paused_cpu_us_per_frame = paused.cpu_us_per_frame;
    r.bare_paused_wakes_per_s = paused.wakes_per_s;
    r.cpu_vs_bare_paused = r.cpu_percent / r.bare_paused_cpu_percent;

    simulator->stop();
    std::error_code ignored;
    std::filesystem::remove_all(work_dir, ignored);
    if (observer.unknown_ids() > 0) {
        progress("warning: %llu reports for unknown device ids", static_cast<unsigned long long>(observer.unknown_ids()));
    }
    return r;
}

}  // namespace farm
