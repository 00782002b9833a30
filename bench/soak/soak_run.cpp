// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "soak_run.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "frame_ledger.h"
#include "host_storm.h"
#include "host_support.h"
#include "process_stats.h"
#include "simulator_process.h"
#include "testkit/plugin_library.h"
#include "testkit/sanitized.h"

namespace soak {
namespace {

using farm::AgentGuard;
using farm::make_work_dir;
using farm::own_cpu_seconds;
using farm::own_rss_kib;
using farm::steady_ns;

constexpr double kRssGrowthLimit = 0.02;
constexpr std::int64_t kStallLimitNs = 1000000000;
constexpr std::int64_t kHangNs = 60LL * 1000000000;  // an export this long is hung: stop the run
constexpr double kDestroyLimitMs = 1000;
// Resident memory is sampled this often, and at least 40 times a run.
constexpr double kRssSampleS = 5;
// A few printers may still be reconnecting when the storm begins.
constexpr double kLiveShareToStart = 0.9;

double seconds_since(std::int64_t from_ns) { return static_cast<double>(steady_ns() - from_ns) / 1e9; }
double ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }
void sleep_s(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

struct RssSample {
    double at_s;
    double kib;
};

// The mean of the samples taken in [from, to) seconds; NaN when none.
double mean_between(const std::vector<RssSample>& samples, double from, double to) {
    double sum = 0;
    int n = 0;
    for (const RssSample& s : samples) {
        if (s.at_s >= from && s.at_s < to) {
            sum += s.kib;
            ++n;
        }
    }
    return n > 0 ? sum / n : std::nan("");
}

// The figures of one progress interval, from counters that only grow.
class Progress {
public:
    Progress(std::FILE* out, const FrameLedger& ledger, int printers) : out_(out), ledger_(ledger), printers_(printers) {
        mark();
    }
    void line(double at_s, std::int64_t longest_gap_ns, std::int64_t longest_call_ns) {
        const double wall = seconds_since(at_ns_);
        const double cpu = own_cpu_seconds() - cpu_;
        std::fprintf(out_,
                     "%5.0f:%02.0f  rss %7.1f MiB  heap %7.1f MiB  cpu %5.1f %%  reports %6.0f/s  open %4d/%d  attempts %5llu  "
                     "lost %llu  stall %6.1f ms  longest call %6.1f ms\n",
                     std::floor(at_s / 60), std::fmod(std::floor(at_s), 60.0), own_rss_kib() / 1024, farm::heap_in_use_kib() / 1024, 100 * cpu / wall,
                     static_cast<double>(ledger_.reports() - reports_) / wall, ledger_.live(), printers_,
                     static_cast<unsigned long long>(ledger_.attempts() - attempts_),
                     static_cast<unsigned long long>(ledger_.lost_frames()), ms(longest_gap_ns), ms(longest_call_ns));
        std::fflush(out_);
        mark();
    }

private:
    void mark() {
        at_ns_ = steady_ns();
        cpu_ = own_cpu_seconds();
        reports_ = ledger_.reports();
        attempts_ = ledger_.attempts();
    }
    std::FILE* const out_;
    const FrameLedger& ledger_;
    const int printers_;
    std::int64_t at_ns_ = 0;
    double cpu_ = 0;
    std::uint64_t reports_ = 0;
    std::uint64_t attempts_ = 0;
};

// Ends the program when the run is not over by a deadline: an export or a
// destroy that never returns must fail the soak, not hang it.
class Deadline {
public:
    Deadline(double seconds, std::FILE* out)
        : thread_([this, seconds, out] {
              std::unique_lock<std::mutex> lock(mutex_);
              if (done_changed_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return done_; })) return;
              std::fprintf(out, "soak: HUNG: the run is not over %.0f s after it began\n", seconds);
              std::fflush(out);
              std::_Exit(kHung);
          }) {}
    ~Deadline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        done_changed_.notify_all();
        thread_.join();
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    std::mutex mutex_;
    std::condition_variable done_changed_;
    bool done_ = false;
    std::thread thread_;  // last: starts once the members above exist
};

struct Check {
    std::string name;
    bool holds;
    std::string figures;
};

}  // namespace

int run_soak(const Options& options, std::FILE* out) {
    const int printers = options.printers;
    // Set-up, the storm, calm and destroy, with minutes to spare.
    const Deadline deadline(options.duration_s + options.settle_s + 300, out);
    farm::raise_file_limit();
    const std::string work_dir = make_work_dir("pemra-farm-soak");
    const std::string log_dir = options.log_dir.empty() ? work_dir : options.log_dir;

    std::vector<std::string> chaos_args = {"--number-frames", "--chaos-seed", std::to_string(options.seed)};
    if (options.chaos_s > 0) chaos_args.insert(chaos_args.end(), {"--chaos", std::to_string(options.chaos_s)});
    farm::SimulatorProcess simulator(
        farm::SimulatorSettings{options.simulator, printers, {}, options.printing, work_dir + "/ports", chaos_args, -1});
    if (!simulator.wait_listening(std::chrono::seconds(60))) throw std::runtime_error("the simulator did not come up");
    const std::vector<std::string> addresses = simulator.addresses();
    std::fprintf(out, "soak: %d printers (simulator %d), faults every %.0f s per printer, seed %u, for %.0f s\n",
                 printers, static_cast<int>(simulator.pid()), options.chaos_s, options.seed, options.duration_s);
    std::fflush(out);

    FrameLedger ledger(printers);
    const testkit::PluginLibrary library(options.plugin);
    const testkit::PluginApi& api = library.api();
    AgentGuard agent(api, api.pemra_network_create_agent(log_dir, options.log_level));
    HostStorm::set_status_callback(api, agent.get(), ledger);
    api.pemra_network_start(agent.get());
    const std::int64_t connect_start = steady_ns();
    for (int i = 0; i < printers; ++i) {
        api.pemra_network_connect_printer(agent.get(), FrameLedger::device_id(i), addresses[static_cast<std::size_t>(i)],
                                          "", "");
    }
    while (ledger.live() < printers * kLiveShareToStart && seconds_since(connect_start) < 60) sleep_s(0.05);
    std::fprintf(out, "soak: %d of %d live after %.1f s; the host storm begins\n", ledger.live(), printers,
                 seconds_since(connect_start));
    std::fflush(out);

    // ---- the storm --------------------------------------------------------
    std::vector<RssSample> rss;
    std::int64_t longest_gap_ns = 0;
    std::int64_t longest_call_ns = 0;
    const char* longest_call = "";
    std::uint64_t storm_calls = 0;
    const std::int64_t start = steady_ns();
    const double cpu_start = own_cpu_seconds();
    double storm_cpu_percent = 0;
    {
        Progress progress(out, ledger, printers);
        HostStorm storm(api, agent.get(), addresses, ledger, options.seed);
        double next_rss = 0;
        double next_line = options.report_s;
        std::int64_t interval_gap = 0;
        std::int64_t interval_call = 0;
        // A call counts when it ends, and while it still runs: a hung one never ends.
        auto note_call = [&](std::int64_t ns, const char* what) {
            interval_call = std::max(interval_call, ns);
            if (ns > longest_call_ns) {
                longest_call_ns = ns;
                longest_call = what;
            }
        };
        for (double at = 0; at < options.duration_s; at = seconds_since(start)) {
            sleep_s(0.1);
            const char* what = "";
            const std::int64_t running = storm.running_call_ns(&what);
            note_call(running, what);
            if (running > kHangNs) {
                std::fprintf(out, "soak: HUNG: %s has not returned for %.0f s\n", what, ms(running) / 1000);
                std::fflush(out);
                std::_Exit(kHung);
            }
            const std::int64_t ended = storm.take_longest_call_ns(&what);
            note_call(ended, what);
            interval_gap = std::max(interval_gap, ledger.take_longest_gap_ns());
            if (at >= next_rss) {
                rss.push_back(RssSample{at, own_rss_kib()});
                next_rss += std::min(kRssSampleS, options.duration_s / 40);
            }
            if (at >= next_line) {
                progress.line(at, interval_gap, interval_call);
                longest_gap_ns = std::max(longest_gap_ns, interval_gap);
                interval_gap = interval_call = 0;
                next_line += options.report_s;
            }
        }
        longest_gap_ns = std::max(longest_gap_ns, interval_gap);
        storm_cpu_percent = 100 * (own_cpu_seconds() - cpu_start) / seconds_since(start);
        storm.stop();
        const char* what = "";
        const std::int64_t ended = storm.take_longest_call_ns(&what);
        note_call(ended, what);
        storm_calls = storm.calls();
        std::fprintf(out, "soak: storm over after %.0f s: %llu export calls, %llu replies\n", seconds_since(start),
                     static_cast<unsigned long long>(storm_calls), static_cast<unsigned long long>(storm.replies()));
    }

    // ---- calm: every printer must be live again with fresh status -----------
    kill(simulator.pid(), SIGUSR1);
    const std::int64_t calm = steady_ns();
    while (ledger.fresh_since(calm) < printers && seconds_since(calm) < options.settle_s) sleep_s(0.1);
    const int fresh = ledger.fresh_since(calm);
    const double settled_s = seconds_since(calm);
    longest_gap_ns = std::max(longest_gap_ns, ledger.take_longest_gap_ns());
    std::fprintf(out, "soak: %d of %d live with fresh status %.1f s after the faults ended\n", fresh, printers, settled_s);

    const std::int64_t destroy_start = steady_ns();
    agent.destroy();
    const double destroy_ms = ms(steady_ns() - destroy_start);
    simulator.stop();

    // ---- checks ---------------------------------------------------------------
    const double d = options.duration_s;
    const double q2 = mean_between(rss, d / 4, d / 2);
    const double q4 = mean_between(rss, 3 * d / 4, d + 1);
    const double growth = (q4 - q2) / q2;
    char text[256];
    std::vector<Check> checks;
    std::snprintf(text, sizeof text, "second quarter %.1f MiB, last %.1f MiB (%+.2f %%)", q2 / 1024, q4 / 1024,
                  100 * growth);
    if (testkit::kSanitized) {
        // The sanitizer keeps freed memory in quarantine, so resident memory
        // grows by design there; the plain build judges it.
        checks.push_back({"memory flat", true, std::string(text) + ", not judged under a sanitizer"});
    } else {
        checks.push_back({"memory flat", growth <= kRssGrowthLimit, text});
    }
    std::snprintf(text, sizeof text, "%llu numbered frames, %llu lost, %llu out of order",
                  static_cast<unsigned long long>(ledger.numbered_frames()),
                  static_cast<unsigned long long>(ledger.lost_frames()),
                  static_cast<unsigned long long>(ledger.out_of_order()));
    checks.push_back({"no frame lost", ledger.numbered_frames() > 0 && ledger.lost_frames() == 0 && ledger.out_of_order() == 0, text});
    std::snprintf(text, sizeof text, "%d/%d in %.1f s", fresh, printers, settled_s);
    checks.push_back({"all fresh at the end", fresh == printers, text});
    std::snprintf(text, sizeof text, "longest gap between reports %.1f ms, longest export call %.1f ms (%s)",
                  ms(longest_gap_ns), ms(longest_call_ns), longest_call);
    checks.push_back({"no stall", longest_gap_ns <= kStallLimitNs && longest_call_ns <= kStallLimitNs, text});
    std::snprintf(text, sizeof text, "%.1f ms", destroy_ms);
    checks.push_back({"destroy", destroy_ms < kDestroyLimitMs, text});
    if (ledger.unknown_ids() > 0) {
        std::snprintf(text, sizeof text, "%llu reports", static_cast<unsigned long long>(ledger.unknown_ids()));
        checks.push_back({"no unknown device", false, text});
    }

    bool all = true;
    for (const Check& c : checks) {
        std::fprintf(out, "  %-22s %-4s %s\n", c.name.c_str(), c.holds ? "ok" : "FAIL", c.figures.c_str());
        all = all && c.holds;
    }
    std::fprintf(out,
                 "soak %s: %d printers, %.0f s, cpu %.1f %%, rss %+.2f %%, %llu frames, %llu lost, fresh %d/%d, "
                 "stall %.0f ms, call %.0f ms, destroy %.0f ms, %llu calls\n",
                 all ? "PASS" : "FAIL", printers, d, storm_cpu_percent, 100 * growth,
                 static_cast<unsigned long long>(ledger.numbered_frames()),
                 static_cast<unsigned long long>(ledger.lost_frames()), fresh, printers, ms(longest_gap_ns),
                 ms(longest_call_ns), destroy_ms, static_cast<unsigned long long>(storm_calls));
    std::fflush(out);
    std::error_code ignored;
    if (all && options.log_dir.empty()) {
        std::filesystem::remove_all(work_dir, ignored);
    } else {
        std::fprintf(out, "soak: the plug-in's log is in %s\n", log_dir.c_str());
    }
    return all ? kAllChecksHold : kCheckFailed;
}

}  // namespace soak
