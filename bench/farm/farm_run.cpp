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
#include <limits>
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

// A line of progress for the farm of `printers`, on standard error.
void vprogress(int printers, const char* format, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    std::fprintf(stderr, "[N=%d] %s\n", printers, text);
}

[[gnu::format(printf, 2, 3)]] void progress(int printers, const char* format, ...) {
    va_list args;
    va_start(args, format);
    vprogress(printers, format, args);
    va_end(args);
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
        progress(printers, "warning: cannot write %s", path.c_str());
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
    progress(printers, "bare transport%s: %d subscribed, CPU %.2f %% of a core, %.1f us per status frame, %.0f wakes/s "
             "(%.0f status frames/s, %.0f frames/s, %llu reports); the plug-in used %.2f times that",
             pause.count() > 0 ? " pausing after busy wakes" : "", static_cast<int>(f.subscribed), f.cpu_percent,
             f.cpu_us_per_frame, f.wakes_per_s, status_frames / window, frames / window,
             static_cast<unsigned long long>(reports.load()), plugin_cpu_percent / f.cpu_percent);
    return f;
}

namespace {

// One farm size from start to end, a phase at a time; each phase fills in
// its own figures of `result`.
class FarmRun {
public:
    FarmRun(const Options& options, int printers)
        : options_(options),
          printers_(printers),
          // A status frame per printer every 250 ms over the window, with
          // room to spare; allocated and touched before the memory baseline.
          observer_(printers, static_cast<std::size_t>(printers * kFramesPerSecond * (options.window_s + 2) * 1.5) + 4096),
          timeout_(static_cast<std::int64_t>(options.timeout_s * 1000)) {
        r_.printers = printers;
    }

    FarmResult run() {
        prepare_process();
        start_simulator();
        start_agent();
        connect_all();
        measure_steady_window();
        reconnection_storm();
        destroy_agent();
        measure_bare_transports();
        clean_up();
        return r_;
    }

private:
    [[gnu::format(printf, 2, 3)]] void say(const char* format, ...) const {
        va_list args;
        va_start(args, format);
        vprogress(printers_, format, args);
        va_end(args);
    }

    void prepare_process() {
        const std::uint64_t file_limit = raise_file_limit();
        if (file_limit < static_cast<std::uint64_t>(printers_) + 64) {
            say("warning: only %llu open files allowed", static_cast<unsigned long long>(file_limit));
        }
        if (options_.pin) {
            // Before the agent starts its threads, which inherit the mask. The
            // simulator otherwise often wakes the network thread on its own CPU
            // and makes it wait until its 10 ms slot of work is done.
            if (!pin_to_cpu(kHostCpu)) throw std::runtime_error("cannot pin the host to CPU 0");
            say("host pinned to CPU %d, simulator to CPU %d", kHostCpu, kSimulatorCpu);
        }
    }

    void start_simulator() {
        work_dir_ = make_work_dir("pemra-farm-bench");
        settings_ = SimulatorSettings{options_.simulator, printers_, {},
                                      options_.printing, work_dir_ + "/ports", options_.simulator_args,
                                      options_.pin ? kSimulatorCpu : -1};
        simulator_ = std::make_unique<SimulatorProcess>(settings_);
        if (!simulator_->wait_listening(timeout_)) throw std::runtime_error("the simulator did not come up");
        addresses_ = simulator_->addresses();
        say("simulator %d listening on %s ... %s", static_cast<int>(simulator_->pid()), addresses_.front().c_str(),
            addresses_.back().c_str());
    }

    void start_agent() {
        const std::string log_dir = options_.log_dir.empty() ? work_dir_ : options_.log_dir;
        library_ = std::make_unique<testkit::PluginLibrary>(options_.plugin);
        const testkit::PluginApi& plugin = library_->api();
        agent_ = std::make_unique<AgentGuard>(plugin, plugin.pemra_network_create_agent(log_dir, options_.log_level));
        plugin.pemra_set_machine_status_changed_fn(agent_->get(), [this](std::string device_id, MachineStatus status) {
            observer_.on_status(device_id, status);
        });
        plugin.pemra_network_start(agent_->get());
        agent_start_ = steady_ns();
        sleep_s(0.3);
        r_.rss_base_kib = own_rss_kib();
    }

    void connect_all() {
        observer_.begin_phase(kConnectPhase, true);
        const std::int64_t connect_start = steady_ns();
        for (int i = 0; i < printers_; ++i) {
            library_->api().pemra_network_connect_printer(agent_->get(), StatusObserver::device_id(i),
                                                          addresses_[static_cast<std::size_t>(i)], "", "");
        }
        r_.connect_calls_ms = seconds_between(connect_start, steady_ns()) * 1e3;
        const bool connected = wait_ready(observer_, kConnectPhase, printers_, after_s(options_.timeout_s));
        r_.connected = observer_.ready(kConnectPhase);
        r_.connect_s = connected ? seconds_between(connect_start, observer_.all_ready_ns(kConnectPhase)) : kNan;
        if (connected) {
            say("all open and subscribed %.3f s after the first connect call", r_.connect_s);
        } else {
            say("only %d of %d open and subscribed after %.0f s", static_cast<int>(r_.connected), printers_,
                options_.timeout_s);
        }
    }

    void measure_steady_window() {
        const std::uint64_t offline_before = observer_.offline_reports();
        const std::uint64_t attempts_before = observer_.attempt_reports();
        sleep_s(options_.settle_s);
        say("measuring a %.0f s window", options_.window_s);
        r_.load_average = load_average();
        const double cpu_before = own_cpu_seconds();
        const double simulator_before = process_cpu_seconds(simulator_->pid());
        const SchedTimes io_before = sched_times(getpid(), kNetworkThread);
        const SchedTimes simulator_sched_before = sched_times(simulator_->pid(), nullptr);
        const std::uint64_t frames_before = observer_.frames();
        const std::uint64_t reports_before = observer_.reports();
        const std::int64_t window_start = steady_ns();
        observer_.start_sampling();
        sleep_s(options_.window_s);
        observer_.stop_sampling();
        const std::int64_t window_end = steady_ns();
        const double cpu_after = own_cpu_seconds();
        const double simulator_after = process_cpu_seconds(simulator_->pid());
        const SchedTimes io_after = sched_times(getpid(), kNetworkThread);
        const SchedTimes simulator_sched_after = sched_times(simulator_->pid(), nullptr);
        r_.frames = static_cast<double>(observer_.frames() - frames_before);
        r_.reports = static_cast<double>(observer_.reports() - reports_before);
        r_.rss_streaming_kib = own_rss_kib();
        r_.steady_drops = static_cast<double>(observer_.offline_reports() - offline_before);
        r_.steady_attempts = static_cast<double>(observer_.attempt_reports() - attempts_before);

        r_.window_s = seconds_between(window_start, window_end);
        r_.cpu_s = cpu_after - cpu_before;
        r_.cpu_percent = 100.0 * r_.cpu_s / r_.window_s;
        r_.frames_per_s = r_.frames / r_.window_s;
        r_.expected_frames_per_s = printers_ * kFramesPerSecond;
        r_.cpu_us_per_frame = r_.frames > 0 ? r_.cpu_s * 1e6 / r_.frames : kNan;
        r_.rss_kib_per_printer = (r_.rss_streaming_kib - r_.rss_base_kib) / printers_;
        r_.simulator_cpu_percent = simulator_before >= 0 && simulator_after >= 0
                                       ? 100.0 * (simulator_after - simulator_before) / r_.window_s
                                       : kNan;

        const bool io_known = known(io_before, io_after);
        r_.io_thread_cpu_percent = io_known ? 100.0 * (io_after.on_cpu_s - io_before.on_cpu_s) / r_.window_s : kNan;
        r_.io_thread_wait_ms_per_s = io_known ? 1e3 * (io_after.waiting_s - io_before.waiting_s) / r_.window_s : kNan;
        r_.io_thread_wakes_per_s = io_known ? (io_after.slices - io_before.slices) / r_.window_s : kNan;
        r_.simulator_wait_ms_per_s =
            known(simulator_sched_before, simulator_sched_after)
                ? 1e3 * (simulator_sched_after.waiting_s - simulator_sched_before.waiting_s) / r_.window_s
                : kNan;
        take_latencies();
        say("CPU %.2f %% of a core (network thread %.2f %%, %.0f wakes/s, waited for a CPU %.1f ms/s), %.1f frames/s, "
            "RSS %.0f -> %.0f KiB, latency p50 %.3f p99 %.3f max %.3f ms, %.0f dropped, %.0f reconnection attempts",
            r_.cpu_percent, r_.io_thread_cpu_percent, r_.io_thread_wakes_per_s, r_.io_thread_wait_ms_per_s,
            r_.frames_per_s, r_.rss_base_kib, r_.rss_streaming_kib, r_.latency_p50_ms, r_.latency_p99_ms,
            r_.latency_max_ms, r_.steady_drops, r_.steady_attempts);
    }

    // The window's latency samples: written out when asked for, and their
    // percentiles.
    void take_latencies() {
        const std::vector<StatusObserver::Sample> samples = observer_.samples();
        if (!options_.samples_prefix.empty()) write_samples(options_.samples_prefix, printers_, samples);
        std::vector<double> latencies;
        latencies.reserve(samples.size());
        for (const auto& sample : samples) latencies.push_back((sample.received - sample.sent) * 1e6);
        std::sort(latencies.begin(), latencies.end());
        r_.latency_samples = static_cast<double>(latencies.size());
        r_.latency_p50_ms = percentile(latencies, 0.50) / 1e3;
        r_.latency_p99_ms = percentile(latencies, 0.99) / 1e3;
        r_.latency_max_ms = latencies.empty() ? kNan : latencies.back() / 1e3;
        if (observer_.samples_lost() > 0) {
            say("warning: %llu latency samples did not fit", static_cast<unsigned long long>(observer_.samples_lost()));
        }
    }

    // With a storm lead, waits until that long before the next liveness pass.
    void wait_for_storm_time() const {
        if (options_.storm_lead_s < 0) return;
        // Passes follow the start every interval (plus the few milliseconds
        // each pass takes, which this ignores).
        const double since_start = seconds_between(agent_start_, steady_ns());
        double at = (std::floor(since_start / kLivenessPassS) + 1) * kLivenessPassS - options_.storm_lead_s;
        if (at < since_start + 0.05) at += kLivenessPassS;
        sleep_s(at - since_start);
    }

    void reconnection_storm() {
        wait_for_storm_time();
        say("storm: stopping the simulator and starting a new one on the same ports");
        observer_.begin_phase(kStormPhase, false);
        const std::int64_t storm_start = steady_ns();
        simulator_->stop();
        // The plug-in reconnects to the addresses it was given, so the new
        // simulator takes over the old one's ports. Something else may grab one
        // in between; the simulator then fails to bind and says so, and the
        // storm reports that it did not come back.
        settings_.ports = ports_of(addresses_);
        simulator_ = std::make_unique<SimulatorProcess>(settings_);
        const bool listening = simulator_->wait_listening(timeout_);
        r_.storm_sim_restart_s = listening ? seconds_between(storm_start, steady_ns()) : kNan;
        const bool back =
            listening && wait_ready(observer_, kStormPhase, printers_, storm_start + timeout_.count() * 1000000);
        r_.storm_down = observer_.down(kStormPhase);
        r_.storm_back = observer_.ready(kStormPhase);
        r_.storm_s = back ? seconds_between(storm_start, observer_.all_ready_ns(kStormPhase)) : kNan;
        r_.storm_after_listen_s = r_.storm_s - r_.storm_sim_restart_s;
        const std::int64_t first_attempt = observer_.first_attempt_ns(kStormPhase);
        r_.storm_pass_s = first_attempt ? seconds_between(storm_start, first_attempt) : kNan;
        r_.storm_reconnect_s =
            back && first_attempt ? seconds_between(first_attempt, observer_.all_ready_ns(kStormPhase)) : kNan;
        r_.storm_attempts = observer_.most_attempts(kStormPhase);
        if (back) {
            say("storm: %d seen closed, all back %.3f s after SIGTERM (new simulator listening after %.3f s, "
                "first reconnection attempt after %.3f s, at most %d attempts per printer)",
                static_cast<int>(r_.storm_down), r_.storm_s, r_.storm_sim_restart_s, r_.storm_pass_s,
                static_cast<int>(r_.storm_attempts));
        } else {
            say("storm: only %d of %d back after %.0f s", static_cast<int>(r_.storm_back), printers_,
                options_.timeout_s);
        }
    }

    void destroy_agent() {
        sleep_s(std::min(options_.settle_s, 1.0));
        const std::int64_t destroy_start = steady_ns();
        agent_->destroy();
        r_.destroy_ms = seconds_between(destroy_start, steady_ns()) * 1e3;
        say("destroy took %.1f ms", r_.destroy_ms);
    }

    void measure_bare_transports() {
        const BareFigures bare = measure_bare_transport(options_, *simulator_, printers_, {}, r_.cpu_percent);
        r_.bare_subscribed = bare.subscribed;
        r_.bare_cpu_percent = bare.cpu_percent;
        r_.bare_cpu_us_per_frame = bare.cpu_us_per_frame;
        r_.bare_wakes_per_s = bare.wakes_per_s;
        r_.cpu_vs_bare = r_.cpu_percent / r_.bare_cpu_percent;
        const BareFigures paused = measure_bare_transport(options_, *simulator_, printers_, kBatchPause, r_.cpu_percent);
        r_.bare_paused_cpu_percent = paused.cpu_percent;
        r_.bare_paused_cpu_us_per_frame = paused.cpu_us_per_frame;
        r_.bare_paused_wakes_per_s = paused.wakes_per_s;
        r_.cpu_vs_bare_paused = r_.cpu_percent / r_.bare_paused_cpu_percent;
    }

    void clean_up() {
        simulator_->stop();
        std::error_code ignored;
        std::filesystem::remove_all(work_dir_, ignored);
        if (observer_.unknown_ids() > 0) {
            say("warning: %llu reports for unknown device ids", static_cast<unsigned long long>(observer_.unknown_ids()));
        }
    }

    static constexpr double kNan = std::numeric_limits<double>::quiet_NaN();

    const Options& options_;
    const int printers_;
    StatusObserver observer_;  // outlives the agent, whose callback feeds it
    const std::chrono::milliseconds timeout_;
    std::string work_dir_;
    SimulatorSettings settings_;
    std::vector<std::string> addresses_;
    std::unique_ptr<SimulatorProcess> simulator_;
    std::unique_ptr<testkit::PluginLibrary> library_;  // outlives the agent
    std::unique_ptr<AgentGuard> agent_;
    std::int64_t agent_start_ = 0;
    FarmResult r_;
};

}  // namespace

FarmResult run_farm(const Options& options, int printers) { return FarmRun(options, printers).run(); }

}  // namespace farm
