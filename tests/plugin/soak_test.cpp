// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Fifty printers misbehaving at random while two host threads connect,
// disconnect, ask for files and history and switch callbacks off and on.
// After every round the faults stop, and every printer must come back live
// with fresh status; no export may hang, memory must settle, and every
// malformed frame must leave an error record in the log.

#include <atomic>
#include <chrono>
#include <fstream>
#include <malloc.h>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "agent_fixture.h"
#include "printer_sim/printer_group.h"
#include "testkit/sanitized.h"

namespace {

using namespace test_host;

constexpr int kPrinters = 50;
constexpr int kRounds = 6;
constexpr auto kRoundLength = 2500ms;

std::string id_of(int i) { return "soak" + std::to_string(i); }

// Error records the log holds for malformed frames of one printer.
int error_records(const std::string& log, const std::string& id) {
    int count = 0;
    for (const std::string& pattern : {"frame from " + id + " dropped", "status update from " + id + " abandoned"}) {
        for (auto at = log.find(pattern); at != std::string::npos; at = log.find(pattern, at + 1)) ++count;
    }
    return count;
}

bool all_logged(const std::map<std::string, int>& sent) {
    const std::string log = LogEnvironment::text();
    for (const auto& [id, count] : sent) {
        if (error_records(log, id) != count) return false;
    }
    return true;
}

// Bytes the allocator has handed out and not had back. Resident memory would
// also count what the heap keeps after this test's own reads of the log,
// which grows by megabytes a round.
long heap_in_use_kib() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

long resident_kib() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    }
    return 0;
}

// Fails the program when a host thread stays inside one export too long.
class Watchdog {
public:
    explicit Watchdog(std::chrono::milliseconds limit) : limit_(limit), thread_([this] { run(); }) {}
    ~Watchdog() {
        stop_ = true;
        thread_.join();
    }
    template <typename Fn>
    void call(int slot, const char* what, Fn fn) {
        entered_[slot] = std::chrono::steady_clock::now().time_since_epoch().count();
        what_[slot] = what;
        fn();
        entered_[slot] = 0;
    }

private:
    void run() {
        while (!stop_) {
            std::this_thread::sleep_for(50ms);
            const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
            for (int slot = 0; slot < 2; ++slot) {
                const auto since = entered_[slot].load();
                if (since != 0 && std::chrono::steady_clock::duration(now - since) > limit_) {
                    std::fprintf(stderr, "HANG: %s blocked for more than %lld ms\n", what_[slot].load(),
                                 static_cast<long long>(limit_.count()));
                    std::_Exit(3);
                }
            }
        }
    }

    const std::chrono::milliseconds limit_;
    std::atomic<std::chrono::steady_clock::rep> entered_[2] = {0, 0};
    std::atomic<const char*> what_[2] = {"", ""};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class Soak : public AgentTest {};

TEST_F(Soak, FiftyPrintersWithRandomFaultsAndABusyHost) {
    // Passes twice as long as a status interval: a healthy printer is never
    // asked for its objects again, even in the slow sanitizer builds.
    pemra::Timings timings;
    timings.check_interval = 500ms;
    timings.open_handshake_timeout = 2000ms;
    timings.pong_timeout = 400ms;
    start_agent(timings);
    printer_sim::PrinterGroup group;
    for (int i = 0; i < kPrinters; ++i) {
        printer_sim::PrinterOptions options;
        options.record_frames = false;
        options.speed = 10;
        if (i % 5 == 0) options.autoprint_file = printer_sim::default_files().front().filename;
        options.print_duration = 3s;
        group.add(options);
    }
    for (int i = 0; i < kPrinters; ++i) ASSERT_EQ(connect(id_of(i), group.at(i)), 0);
    for (int i = 0; i < kPrinters; ++i) ASSERT_TRUE(events.wait_status(id_of(i), is_live, 30s)) << id_of(i);

    std::mt19937 random(20261206);
    std::map<std::string, int> malformed_sent;  // per printer, frames that must each log an error
    std::vector<long> rss_after_round;
    std::vector<long> heap_after_round;
    Watchdog watchdog(5s);

    for (int round = 0; round < kRounds; ++round) {
        // Faults for a fifth of the printers; malformed frames for others.
        std::vector<int> faulted;
        for (int n = 0; n < kPrinters / 5; ++n) faulted.push_back(static_cast<int>(random() % kPrinters));
        for (int i : faulted) {
            auto& p = group.at(i);
            switch (random() % 8) {
                case 0: p.drop_connections(); break;
                case 1: p.withhold_pongs(true); break;
                case 2: p.close_connections(4000, "soak"); break;
                case 3: p.restart(); break;
                case 4: p.hold_handshakes(true); p.drop_connections(); break;
                case 5: p.refuse_connections(true); p.drop_connections(); break;
                case 6: p.set_method_fault("server.files.get_directory", {0ms, false, 500, "internal"}); break;
                case 7: p.pause_status_updates(true); break;
            }
        }
        for (int n = 0; n < 5; ++n) {
            const int i = static_cast<int>(random() % kPrinters);
            if (std::find(faulted.begin(), faulted.end(), i) != faulted.end()) continue;
            if (group.at(i).open_connections().size() != 1) continue;
            group.at(i).send_text("{\"not json " + std::to_string(round));
            group.at(i).send_text(R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"heater_bed":{"target":"hot"}}]})");
            malformed_sent[id_of(i)] += 2;
        }
        // Read before the host starts disconnecting printers: a connection
        // the host is closing ignores what still arrives on it.
        eventually([&] { return all_logged(malformed_sent); }, 10s);

        const auto until = std::chrono::steady_clock::now() + kRoundLength;
        std::thread churn([&, seed = random()] {
            std::mt19937 r(seed);
            while (std::chrono::steady_clock::now() < until) {
                const std::string id = id_of(static_cast<int>(r() % kPrinters));
                const int i = static_cast<int>(r() % kPrinters);
                switch (r() % 4) {
                    case 0: watchdog.call(0, "connect", [&] { agent->connect(id_of(i), uri(group.at(i))); }); break;
                    case 1: watchdog.call(0, "disconnect", [&] { agent->close(id, 1000, ""); }); break;
                    case 2: watchdog.call(0, "file list", [&] { agent->request_file_list(id, "gcodes"); }); break;
                    case 3: watchdog.call(0, "history", [&] { agent->request_history(id, 0, 3, "desc"); }); break;
                }
                std::this_thread::sleep_for(2ms);
            }
        });
        std::thread switches([&, seed = random()] {
            std::mt19937 r(seed);
            while (std::chrono::steady_clock::now() < until) {
                const std::string id = id_of(static_cast<int>(r() % kPrinters));
                switch (r() % 4) {
                    case 0: watchdog.call(1, "callbacks off", [&] { agent->set_callbacks_suppressed(true); }); break;
                    case 1: watchdog.call(1, "callbacks on", [&] { agent->set_callbacks_suppressed(false); }); break;
                    case 2: watchdog.call(1, "metadata", [&] { agent->request_file_metadata(id, "a \"quoted\" name.gcode"); }); break;
                    case 3: watchdog.call(1, "raw", [&] { agent->send(id, 0, R"({"jsonrpc":"2.0","method":"printer.info","id":77})", false); }); break;
                }
                std::this_thread::sleep_for(3ms);
            }
        });
        churn.join();
        switches.join();

        // The storm is over: every printer behaves and is connected again.
        for (int i = 0; i < kPrinters; ++i) {
            auto& p = group.at(i);
            p.withhold_pongs(false);
            p.hold_handshakes(false);
            p.refuse_connections(false);
            p.pause_status_updates(false);
            p.clear_method_faults();
        }
        agent->set_callbacks_suppressed(false);
        const auto calm = std::chrono::steady_clock::now();
        for (int i = 0; i < kPrinters; ++i) agent->connect(id_of(i), uri(group.at(i)));
        for (int i = 0; i < kPrinters; ++i) {
            const std::string id = id_of(i);
            ASSERT_TRUE(events.wait(
                [&](const std::vector<HostEvent>& evs) {
                    for (auto it = evs.rbegin(); it != evs.rend() && it->at > calm; ++it) {
                        if (it->kind == "status" && it->device_id == id && is_live(it->status)) return true;
                    }
                    return false;
                },
                30s))
                << id << " not live with fresh status after round " << round;
        }
        events.clear();
        rss_after_round.push_back(resident_kib());
        heap_after_round.push_back(heap_in_use_kib());
    }

    ASSERT_FALSE(malformed_sent.empty()) << "no malformed frame was sent";
    std::string rss_line;
    for (long kib : rss_after_round) rss_line += std::to_string(kib) + " ";
    RecordProperty("resident_kib_per_round", rss_line);
    std::string heap_line;
    for (long kib : heap_after_round) heap_line += std::to_string(kib) + " ";
    RecordProperty("heap_kib_per_round", heap_line);
    const std::string log = LogEnvironment::text();
    for (const auto& [id, sent] : malformed_sent) EXPECT_EQ(error_records(log, id), sent) << "error records for " << id;
    if (!testkit::kSanitized) {
        // Warm-up rounds fill caches and buffers; after that memory holds still.
        EXPECT_LT(heap_after_round.back(), heap_after_round[2] + heap_after_round[2] / 5)
            << "heap in use grew from " << heap_after_round[2] << " KiB to " << heap_after_round.back()
            << " KiB (resident: " << rss_line << "KiB)";
    }
    agent.reset();
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
