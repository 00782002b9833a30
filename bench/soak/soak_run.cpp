// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "soak_run.h"

#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
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

// The allocator's bytes in use from the second quarter on, against that
// quarter: a leak grows them. Resident memory is only reported: the
// allocator keeps memory freed after connection churn, so it climbs for
// minutes before it holds, with nothing leaked.
constexpr double kHeapGrowthLimit = 0.02;
constexpr std::int64_t kStallLimitNs = 1000000000;
constexpr std::int64_t kHangNs = 60LL * 1000000000;  // an export this long is hung: stop the run
constexpr double kDestroyLimitMs = 1000;
// Memory is sampled this often, and at least 40 times a run.
constexpr double kMemorySampleS = 5;
// A few printers may still be reconnecting when the storm begins.
constexpr double kLiveShareToStart = 0.9;

double seconds_since(std::int64_t from_ns) { return static_cast<double>(steady_ns() - from_ns) / 1e9; }
double ms(std::int64_t ns) { return static_cast<double>(ns) / 1e6; }
void sleep_s(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

struct MemorySample {
    double at_s;
    double rss_kib;
    double heap_kib;  // the allocator's bytes in use
};

// The mean of one figure of the samples taken in [from, to) seconds; NaN
// when none.
double mean_between(const std::vector<MemorySample>& samples, double MemorySample::*figure, double from, double to) {
    double sum = 0;
    int n = 0;
    for (const MemorySample& s : samples) {
        if (s.at_s >= from && s.at_s < to) {
            sum += s.*figure;
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

// What the storm phase measured.
struct StormFigures {
    std::vector<MemorySample> memory;
    std::int64_t longest_gap_ns = 0;
    std::int64_t longest_call_ns = 0;
    const char* longest_call = "";
    std::uint64_t calls = 0;
    double cpu_percent = 0;
};

// Memory over the run: each quarter's mean from the second on.
struct MemoryFigures {
    double rss_q2 = 0, rss_q4 = 0;
    double heap_q2 = 0, heap_q3 = 0, heap_q4 = 0;
    double rss_growth() const { return (rss_q4 - rss_q2) / rss_q2; }
    // The larger of the later quarters' growth over the second.
    double heap_growth() const { return (std::max(heap_q3, heap_q4) - heap_q2) / heap_q2; }
};

// One soak, a phase at a time.
class SoakRun {
public:
    SoakRun(const Options& options, std::FILE* out)
        : options_(options),
          out_(out),
          printers_(options.printers),
          // Set-up, the storm, calm and destroy, with minutes to spare.
          deadline_(options.duration_s + options.settle_s + 300, out),
          ledger_(options.printers) {}

    int run() {
        start_farm();
        start_agent();
        connect_all();
        storm_ = host_storm();
        calm_down();
        destroy_agent();
        const bool all = judge(checks());
        clean_up(all);
        return all ? kAllChecksHold : kCheckFailed;
    }

private:
    [[gnu::format(printf, 2, 3)]] void say(const char* format, ...) const {
        va_list args;
        va_start(args, format);
        std::vfprintf(out_, format, args);
        va_end(args);
        std::fflush(out_);
    }

    void start_farm() {
        farm::raise_file_limit();
        work_dir_ = make_work_dir("pemra-farm-soak");
        log_dir_ = options_.log_dir.empty() ? work_dir_ : options_.log_dir;
        std::vector<std::string> chaos_args = {"--number-frames", "--chaos-seed", std::to_string(options_.seed)};
        if (options_.chaos_s > 0) chaos_args.insert(chaos_args.end(), {"--chaos", std::to_string(options_.chaos_s)});
        simulator_ = std::make_unique<farm::SimulatorProcess>(farm::SimulatorSettings{
            options_.simulator, printers_, {}, options_.printing, work_dir_ + "/ports", chaos_args, -1});
        if (!simulator_->wait_listening(std::chrono::seconds(60))) throw std::runtime_error("the simulator did not come up");
        addresses_ = simulator_->addresses();
        say("soak: %d printers (simulator %d), faults every %.0f s per printer, seed %u, for %.0f s\n", printers_,
            static_cast<int>(simulator_->pid()), options_.chaos_s, options_.seed, options_.duration_s);
    }

    void start_agent() {
        library_ = std::make_unique<testkit::PluginLibrary>(options_.plugin);
        const testkit::PluginApi& api = library_->api();
        agent_ = std::make_unique<AgentGuard>(api, api.pemra_network_create_agent(log_dir_, options_.log_level));
        HostStorm::set_status_callback(api, agent_->get(), ledger_);
        api.pemra_network_start(agent_->get());
    }

    void connect_all() {
        const std::int64_t connect_start = steady_ns();
        for (int i = 0; i < printers_; ++i) {
            library_->api().pemra_network_connect_printer(agent_->get(), FrameLedger::device_id(i),
                                                          addresses_[static_cast<std::size_t>(i)], "", "");
        }
        while (ledger_.live() < printers_ * kLiveShareToStart && seconds_since(connect_start) < 60) sleep_s(0.05);
        say("soak: %d of %d live after %.1f s; the host storm begins\n", ledger_.live(), printers_,
            seconds_since(connect_start));
    }

    // The host's two threads call exports for the whole duration while the
    // faults go on; memory is sampled and a progress line written as it runs.
    StormFigures host_storm() {
        StormFigures f;
        const std::int64_t start = steady_ns();
        const double cpu_start = own_cpu_seconds();
        Progress progress(out_, ledger_, printers_);
        HostStorm storm(library_->api(), agent_->get(), addresses_, ledger_, options_.seed);
        double next_sample = 0;
        double next_line = options_.report_s;
        std::int64_t interval_gap = 0;
        std::int64_t interval_call = 0;
        // A call counts when it ends, and while it still runs: a hung one never ends.
        auto note_call = [&](std::int64_t ns, const char* what) {
            interval_call = std::max(interval_call, ns);
            if (ns > f.longest_call_ns) {
                f.longest_call_ns = ns;
                f.longest_call = what;
            }
        };
        for (double at = 0; at < options_.duration_s; at = seconds_since(start)) {
            sleep_s(0.1);
            const char* what = "";
            const std::int64_t running = storm.running_call_ns(&what);
            note_call(running, what);
            if (running > kHangNs) {
                say("soak: HUNG: %s has not returned for %.0f s\n", what, ms(running) / 1000);
                std::_Exit(kHung);
            }
            const std::int64_t ended = storm.take_longest_call_ns(&what);
            note_call(ended, what);
            interval_gap = std::max(interval_gap, ledger_.take_longest_gap_ns());
            if (at >= next_sample) {
                f.memory.push_back(MemorySample{at, own_rss_kib(), farm::heap_in_use_kib()});
                next_sample += std::min(kMemorySampleS, options_.duration_s / 40);
            }
            if (at >= next_line) {
                progress.line(at, interval_gap, interval_call);
                f.longest_gap_ns = std::max(f.longest_gap_ns, interval_gap);
                interval_gap = interval_call = 0;
                next_line += options_.report_s;
            }
        }
        f.longest_gap_ns = std::max(f.longest_gap_ns, interval_gap);
        f.cpu_percent = 100 * (own_cpu_seconds() - cpu_start) / seconds_since(start);
        storm.stop();
        const char* what = "";
        const std::int64_t ended = storm.take_longest_call_ns(&what);
        note_call(ended, what);
        f.calls = storm.calls();
        say("soak: storm over after %.0f s: %llu export calls, %llu replies\n", seconds_since(start),
            static_cast<unsigned long long>(f.calls), static_cast<unsigned long long>(storm.replies()));
        return f;
    }

    // The faults end: every printer must be live again with fresh status.
    void calm_down() {
        kill(simulator_->pid(), SIGUSR1);
        const std::int64_t calm = steady_ns();
        while (ledger_.fresh_since(calm) < printers_ && seconds_since(calm) < options_.settle_s) sleep_s(0.1);
        fresh_ = ledger_.fresh_since(calm);
        settled_s_ = seconds_since(calm);
        storm_.longest_gap_ns = std::max(storm_.longest_gap_ns, ledger_.take_longest_gap_ns());
        say("soak: %d of %d live with fresh status %.1f s after the faults ended\n", fresh_, printers_, settled_s_);
    }

    void destroy_agent() {
        const std::int64_t destroy_start = steady_ns();
        agent_->destroy();
        destroy_ms_ = ms(steady_ns() - destroy_start);
        simulator_->stop();
    }

    MemoryFigures memory_figures() const {
        const double d = options_.duration_s;
        const auto& m = storm_.memory;
        MemoryFigures f;
        f.rss_q2 = mean_between(m, &MemorySample::rss_kib, d / 4, d / 2);
        f.rss_q4 = mean_between(m, &MemorySample::rss_kib, 3 * d / 4, d + 1);
        f.heap_q2 = mean_between(m, &MemorySample::heap_kib, d / 4, d / 2);
        f.heap_q3 = mean_between(m, &MemorySample::heap_kib, d / 2, 3 * d / 4);
        f.heap_q4 = mean_between(m, &MemorySample::heap_kib, 3 * d / 4, d + 1);
        return f;
    }

    std::vector<Check> checks() {
        memory_ = memory_figures();
        char text[320];
        std::vector<Check> checks;
        std::snprintf(text, sizeof text,
                      "bytes in use: second quarter %.1f MiB, third %.1f MiB, last %.1f MiB (%+.2f %%); "
                      "resident %.1f -> %.1f MiB (%+.2f %%)",
                      memory_.heap_q2 / 1024, memory_.heap_q3 / 1024, memory_.heap_q4 / 1024,
                      100 * memory_.heap_growth(), memory_.rss_q2 / 1024, memory_.rss_q4 / 1024,
                      100 * memory_.rss_growth());
        if (testkit::kSanitized) {
            // The sanitizer's allocator keeps freed memory in quarantine and
            // counts its own way; the plain build judges it.
            checks.push_back({"memory flat", true, std::string(text) + ", not judged under a sanitizer"});
        } else {
            checks.push_back({"memory flat", memory_.heap_growth() <= kHeapGrowthLimit, text});
        }
        std::snprintf(text, sizeof text, "%llu numbered frames, %llu lost, %llu out of order",
                      static_cast<unsigned long long>(ledger_.numbered_frames()),
                      static_cast<unsigned long long>(ledger_.lost_frames()),
                      static_cast<unsigned long long>(ledger_.out_of_order()));
        checks.push_back({"no frame lost",
                          ledger_.numbered_frames() > 0 && ledger_.lost_frames() == 0 && ledger_.out_of_order() == 0, text});
        std::snprintf(text, sizeof text, "%d/%d in %.1f s", fresh_, printers_, settled_s_);
        checks.push_back({"all fresh at the end", fresh_ == printers_, text});
        std::snprintf(text, sizeof text, "longest gap between reports %.1f ms, longest export call %.1f ms (%s)",
                      ms(storm_.longest_gap_ns), ms(storm_.longest_call_ns), storm_.longest_call);
        checks.push_back({"no stall", storm_.longest_gap_ns <= kStallLimitNs && storm_.longest_call_ns <= kStallLimitNs,
                          text});
        std::snprintf(text, sizeof text, "%.1f ms", destroy_ms_);
        checks.push_back({"destroy", destroy_ms_ < kDestroyLimitMs, text});
        if (ledger_.unknown_ids() > 0) {
            std::snprintf(text, sizeof text, "%llu reports", static_cast<unsigned long long>(ledger_.unknown_ids()));
            checks.push_back({"no unknown device", false, text});
        }
        return checks;
    }

    // Prints each check and the summary line; whether all hold.
    bool judge(const std::vector<Check>& checks) const {
        bool all = true;
        for (const Check& c : checks) {
            say("  %-22s %-4s %s\n", c.name.c_str(), c.holds ? "ok" : "FAIL", c.figures.c_str());
            all = all && c.holds;
        }
        say("soak %s: %d printers, %.0f s, cpu %.1f %%, heap %+.2f %%, rss %+.2f %%, %llu frames, %llu lost, "
            "fresh %d/%d, stall %.0f ms, call %.0f ms, destroy %.0f ms, %llu calls\n",
            all ? "PASS" : "FAIL", printers_, options_.duration_s, storm_.cpu_percent, 100 * memory_.heap_growth(),
            100 * memory_.rss_growth(), static_cast<unsigned long long>(ledger_.numbered_frames()),
            static_cast<unsigned long long>(ledger_.lost_frames()), fresh_, printers_, ms(storm_.longest_gap_ns),
            ms(storm_.longest_call_ns), destroy_ms_, static_cast<unsigned long long>(storm_.calls));
        return all;
    }

    void clean_up(bool all) const {
        std::error_code ignored;
        if (all && options_.log_dir.empty()) {
            std::filesystem::remove_all(work_dir_, ignored);
        } else {
            say("soak: the plug-in's log is in %s\n", log_dir_.c_str());
        }
    }

    const Options& options_;
    std::FILE* const out_;
    const int printers_;
    const Deadline deadline_;
    std::string work_dir_;
    std::string log_dir_;
    std::unique_ptr<farm::SimulatorProcess> simulator_;
    std::vector<std::string> addresses_;
    FrameLedger ledger_;  // outlives the agent, whose callback feeds it
    std::unique_ptr<testkit::PluginLibrary> library_;  // outlives the agent
    std::unique_ptr<AgentGuard> agent_;
    StormFigures storm_;
    MemoryFigures memory_;
    int fresh_ = 0;
    double settled_s_ = 0;
    double destroy_ms_ = 0;
};

}  // namespace

int run_soak(const Options& options, std::FILE* out) { return SoakRun(options, out).run(); }

}  // namespace soak
