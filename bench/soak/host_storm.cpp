// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "host_storm.h"

#include <algorithm>
#include <chrono>
#include <random>

#include "process_stats.h"

namespace soak {
namespace {

using farm::steady_ns;

constexpr std::int64_t kMs = 1000000;
// At most this share of the farm is disconnected by the host at once.
constexpr int kMostDownPerMille = 20;

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

HostStorm::HostStorm(const testkit::PluginApi& api, void* agent, std::vector<std::string> addresses, FrameLedger& ledger,
                     std::uint64_t seed)
    : api_(api), agent_(agent), addresses_(std::move(addresses)), ledger_(ledger) {
    auto count_reply = [replies = replies_](std::string, std::string) { replies->fetch_add(1, std::memory_order_relaxed); };
    api_.pemra_set_file_list_arrived_fn(agent_, count_reply);
    api_.pemra_set_file_meta_arrived_fn(agent_, count_reply);
    api_.pemra_set_print_history_arrived_fn(agent_, count_reply);
    api_.pemra_set_error_arrived_fn(agent_, count_reply);
    threads_.emplace_back([this, seed] { churn(seed); });
    threads_.emplace_back([this, seed] { switches(seed + 1); });
}

HostStorm::~HostStorm() { stop(); }

void HostStorm::stop() {
    stop_.store(true);
    for (auto& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
    reconnect_due(true);
}

void HostStorm::set_status_callback(const testkit::PluginApi& api, void* agent, FrameLedger& ledger) {
    api.pemra_set_machine_status_changed_fn(
        agent, [&ledger](std::string device_id, MachineStatus status) { ledger.on_status(device_id, status); });
}

std::int64_t HostStorm::take_longest_call_ns(const char** what) {
    if (what) *what = longest_what_.load(std::memory_order_relaxed);
    return longest_call_ns_.exchange(0, std::memory_order_relaxed);
}

std::int64_t HostStorm::running_call_ns(const char** what) const {
    const std::int64_t now = steady_ns();
    std::int64_t longest = 0;
    for (int slot = 0; slot < 2; ++slot) {
        const std::int64_t since = entered_ns_[slot].load(std::memory_order_acquire);
        if (since != 0 && now - since > longest) {
            longest = now - since;
            if (what) *what = what_[slot].load(std::memory_order_relaxed);
        }
    }
    return longest;
}

template <typename Fn>
void HostStorm::call(int slot, const char* what, Fn&& fn) {
    what_[slot].store(what, std::memory_order_relaxed);
    const std::int64_t start = steady_ns();
    entered_ns_[slot].store(start, std::memory_order_release);
    fn();
    entered_ns_[slot].store(0, std::memory_order_release);
    const std::int64_t took = steady_ns() - start;
    std::int64_t longest = longest_call_ns_.load(std::memory_order_relaxed);
    while (took > longest) {
        if (longest_call_ns_.compare_exchange_weak(longest, took, std::memory_order_relaxed)) {
            longest_what_.store(what, std::memory_order_relaxed);
            break;
        }
    }
    calls_.fetch_add(1, std::memory_order_relaxed);
}

void HostStorm::reconnect_due(bool all) {
    const std::int64_t now = steady_ns();
    auto due = [&](const Down& d) { return all || d.back_ns <= now; };
    for (const Down& d : down_) {
        if (!due(d)) continue;
        call(0, "connect", [&] {
            api_.pemra_network_connect_printer(agent_, FrameLedger::device_id(d.printer),
                                               addresses_[static_cast<std::size_t>(d.printer)], "", "");
        });
    }
    down_.erase(std::remove_if(down_.begin(), down_.end(), due), down_.end());
}

// Connects, disconnects and asks for listings: every 20 ms, and every ten
// seconds or so a burst of a hundred calls back to back.
void HostStorm::churn(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    const int printers = static_cast<int>(addresses_.size());
    std::uniform_int_distribution<int> any_printer(0, printers - 1);
    std::uniform_int_distribution<std::int64_t> down_for(1000, 5000);
    while (!stop_.load()) {
        const int burst = random() % 500 == 0 ? 100 : 1;
        for (int n = 0; n < burst && !stop_.load(); ++n) {
            const int i = any_printer(random);
            const std::string id = FrameLedger::device_id(i);
            const bool already_down = std::any_of(down_.begin(), down_.end(), [i](const Down& d) { return d.printer == i; });
            switch (random() % 5) {
                case 0:
                    if (already_down) break;
                    call(0, "connect", [&] {
                        api_.pemra_network_connect_printer(agent_, id, addresses_[static_cast<std::size_t>(i)], "", "");
                    });
                    break;
                case 1:
                    if (already_down || static_cast<int>(down_.size()) * 1000 >= printers * kMostDownPerMille) break;
                    call(0, "disconnect", [&] { api_.pemra_network_disconnect_printer(agent_, id); });
                    ledger_.mark_down(i);
                    down_.push_back(Down{i, steady_ns() + down_for(random) * kMs});
                    break;
                case 2: call(0, "file list", [&] { api_.pemra_get_file_list_fn(agent_, id); }); break;
                case 3: call(0, "history", [&] { api_.pemra_get_print_history_fn(agent_, id, 0, 5, "desc"); }); break;
                case 4:
                    call(0, "file metadata", [&] { api_.pemra_get_file_meta_fn(agent_, id, "a \"quoted\"\\name\n.gcode"); });
                    break;
            }
        }
        reconnect_due(false);
        sleep_ms(20);
    }
}

// Swaps the status callback, sends raw requests and asks for metadata:
// every 30 ms, with the same bursts.
void HostStorm::switches(std::uint64_t seed) {
    std::mt19937_64 random(seed);
    std::uniform_int_distribution<int> any_printer(0, static_cast<int>(addresses_.size()) - 1);
    while (!stop_.load()) {
        const int burst = random() % 300 == 0 ? 100 : 1;
        for (int n = 0; n < burst && !stop_.load(); ++n) {
            const std::string id = FrameLedger::device_id(any_printer(random));
            switch (random() % 4) {
                case 0: call(1, "status callback swap", [&] { set_status_callback(api_, agent_, ledger_); }); break;
                case 1:
                    call(1, "raw request", [&] {
                        api_.pemra_network_send_message_to_printer(
                            agent_, id, R"({"jsonrpc":"2.0","method":"server.info","id":424242})");
                    });
                    break;
                case 2:
                    call(1, "file metadata", [&] { api_.pemra_get_file_meta_fn(agent_, id, "cube.gcode"); });
                    break;
                case 3: call(1, "history", [&] { api_.pemra_get_print_history_fn(agent_, id, 2, 3, "asc"); }); break;
            }
        }
        sleep_ms(30);
    }
}

}  // namespace soak
