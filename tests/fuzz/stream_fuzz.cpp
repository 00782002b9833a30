// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Arbitrary byte streams from a printer, through real loopback TCP: one
// agent, a victim printer that plays each input as a raw stream, and a
// bystander printer that stays connected the whole run. Per input the agent
// connects the victim and the stream plays to its end; then the host must
// have heard exactly once that the victim's link failed or closed, nothing
// more about it afterwards, and nothing but live reports of the bystander,
// which keeps its one connection and keeps sending status. Anything else
// aborts with a message saying what.
//
// With PEMRA_STREAM_SEEDS_OUT=DIR set, the program writes the seed inputs
// into DIR instead of fuzzing (each checked to decode to its script).

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <mutex>
#include <string>

#include "agent/printer_manager.h"
#include "connection/printer_connection.h"
#include "pemra_network/machine_status.h"
#include "printer_sim/printer.h"
#include "printer_sim/printer_group.h"
#include "stream_input.h"
#include "stream_seed_list.h"

namespace {

using namespace std::chrono_literals;

// Generous: a stream ends within milliseconds; this only bounds a hang.
constexpr auto kWait = 5s;
// Every this many inputs the bystander must have sent fresh status.
constexpr std::uint64_t kFreshEvery = 256;
const std::string kBystander = "bystander";

[[noreturn]] void fail(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    std::fputs("stream_fuzz: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputs("\n", stderr);
    va_end(args);
    std::fflush(stderr);
    std::abort();
}

bool is_live(const MachineStatus& s) {
    return s.connect_state == pemra::connect_state::open && s.machine_state >= pemra::machine_state::idle;
}

// What the host's status callback heard, for the checks.
class Reports {
public:
    void begin_attempt(const std::string& victim) {
        std::lock_guard<std::mutex> lock(mutex_);
        victim_ = victim;
        victim_ends_ = 0;
        after_end_ = 0;
    }

    void add(const std::string& id, const MachineStatus& s) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (id == kBystander) {
                ++bystander_reports_;
                if (!is_live(s)) {
                    if (watching_bystander_ && bad_bystander_.empty()) bad_bystander_ = describe(s);
                } else {
                    watching_bystander_ = true;
                }
            } else if (id == victim_) {
                if (victim_ends_ > 0) ++after_end_;
                if (s.connect_state == pemra::connect_state::closed) {
                    ++victim_ends_;
                    if (s.machine_state != pemra::machine_state::offline) closed_not_offline_ = describe(s);
                }
            } else if (stray_.empty()) {
                stray_ = id + " " + describe(s);
            }
        }
        changed_.notify_all();
    }

    bool wait_victim_end() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kWait, [&] { return victim_ends_ > 0; });
    }
    bool wait_bystander_live() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kWait, [&] { return watching_bystander_; });
    }
    bool wait_bystander_reports_beyond(std::uint64_t count) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, kWait, [&] { return bystander_reports_ > count; });
    }

    // Everything the host heard since the attempt began, checked; aborts.
    void check_attempt() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (victim_ends_ != 1) fail("%s: %d failed-or-closed reports, one expected", victim_.c_str(), victim_ends_);
        if (after_end_ != 0) fail("%s: %d reports after the failed-or-closed one", victim_.c_str(), after_end_);
        if (!closed_not_offline_.empty()) fail("%s: closed but not offline: %s", victim_.c_str(), closed_not_offline_.c_str());
        if (!stray_.empty()) fail("a report of a printer no longer connected: %s", stray_.c_str());
        if (!bad_bystander_.empty()) fail("the bystander was reported not live: %s", bad_bystander_.c_str());
    }

    std::uint64_t bystander_reports() {
        std::lock_guard<std::mutex> lock(mutex_);
        return bystander_reports_;
    }

private:
    static std::string describe(const MachineStatus& s) {
        return "machine_state " + std::to_string(s.machine_state) + ", connect_state " + std::to_string(s.connect_state);
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::string victim_;                   // guarded by mutex_, and so is everything below
    int victim_ends_ = 0;
    int after_end_ = 0;
    std::string closed_not_offline_;
    std::string stray_;
    bool watching_bystander_ = false;  // from its first live report on
    std::uint64_t bystander_reports_ = 0;
    std::string bad_bystander_;
};

// The agent and the two printers, made on the first input and ended at exit.
class World {
public:
    World() {
        printer_sim::PrinterOptions bystander_options;
        bystander_options.hostname = "bystander";
        bystander_options.update_interval = 50ms;
        bystander_options.record_frames = false;
        bystander_ = &printers_.add(bystander_options);
        printer_sim::PrinterOptions victim_options;
        victim_options.hostname = "victim";
        victim_options.record_frames = false;
        victim_ = &printers_.add(victim_options);
        victim_->raw_stream(printer_sim::RawStream{});

        pemra::Timings timings;
        // Each input ends the victim's link; neither a quick attempt nor a
        // liveness pass may reconnect it before the next input disconnects it.
        timings.check_interval = std::chrono::hours(1);
        timings.quick_retry.first = std::chrono::hours(1);
        timings.quick_retry.interval = std::chrono::hours(1);
        agent_ = std::make_unique<pemra::PrinterManager>(timings);
        agent_->set_machine_status_changed_fn([this](std::string id, MachineStatus s) { reports_.add(id, s); });
        agent_->start();
        if (agent_->connect(kBystander, uri(*bystander_)) != 0) fail("the bystander cannot be connected");
        if (!reports_.wait_bystander_live()) fail("the bystander never came up");
        fresh_mark_ = reports_.bystander_reports();
    }

    ~World() {
        agent_.reset();
        printers_.stop();
    }

    void run(const printer_sim::RawStream& stream) {
        const std::string victim = "victim-" + std::to_string(++attempts_);
        reports_.begin_attempt(victim);
        victim_->raw_stream(stream);
        const auto ended_before = victim_->counters().raw_sessions_ended;
        if (agent_->connect(victim, uri(*victim_)) != 0) fail("%s: connect refused", victim.c_str());
        if (!reports_.wait_victim_end()) fail("%s: no failed-or-closed report", victim.c_str());
        if (!victim_->wait_counters([&](const auto& c) { return c.raw_sessions_ended > ended_before; }, kWait)) {
            fail("%s: the agent never closed the connection", victim.c_str());
        }
        // As the host's disconnect export does.
        agent_->close(victim, 1000, "");
        // Every report the network thread had queued reaches the host first.
        drain_network_thread();
        reports_.check_attempt();
        check_bystander();
    }

private:
    static std::string uri(const printer_sim::Printer& p) { return "ws://" + p.address() + "/websocket"; }

    void drain_network_thread() {
        std::promise<void> drained;
        agent_->post([&] { drained.set_value(); });
        drained.get_future().wait();
    }

    void check_bystander() {
        const auto record = agent_->find_connection(kBystander);
        if (!record || record->current_state() != pemra::ConnectionState::open) fail("the bystander's link is not open");
        const auto counters = bystander_->counters();
        if (counters.opened != 1 || counters.open != 1) {
            fail("the bystander was reconnected: %llu connections opened, %llu open",
                 static_cast<unsigned long long>(counters.opened), static_cast<unsigned long long>(counters.open));
        }
        if (attempts_ % kFreshEvery != 0) return;
        if (!reports_.wait_bystander_reports_beyond(fresh_mark_)) fail("no fresh status of the bystander");
        fresh_mark_ = reports_.bystander_reports();
    }

    printer_sim::PrinterGroup printers_;
    printer_sim::Printer* bystander_ = nullptr;
    printer_sim::Printer* victim_ = nullptr;
    Reports reports_;  // outlives the agent, whose callback writes it
    std::unique_ptr<pemra::PrinterManager> agent_;
    std::uint64_t attempts_ = 0;
    std::uint64_t fresh_mark_ = 0;
};

World* world = nullptr;

void write_seeds(const std::string& dir) {
    for (const auto& seed : stream_fuzz::seed_list()) {
        const std::string bytes = stream_fuzz::encode(seed.stream);
        const auto back = stream_fuzz::decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        std::string joined_in, joined_out;
        for (const auto& c : seed.stream.chunks) joined_in += c;
        for (const auto& c : back.chunks) joined_out += c;
        if (back.reply != seed.stream.reply || joined_in != joined_out) fail("seed %s does not decode to its script", seed.name.c_str());
        std::ofstream out(dir + "/" + seed.name, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) fail("cannot write %s/%s", dir.c_str(), seed.name.c_str());
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* dir = std::getenv("PEMRA_STREAM_SEEDS_OUT")) {
        write_seeds(dir);
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!world) {
        world = new World();
        // Threads and sockets end before the program's statics do.
        std::atexit([] {
            delete world;
            world = nullptr;
        });
    }
    world->run(stream_fuzz::decode(data, size));
    return 0;
}
