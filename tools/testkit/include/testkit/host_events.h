// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What a host's callbacks received, in order, with waits that have a
// deadline: the record a test keeps of everything the plug-in told it. Its
// callbacks only copy and append under a lock, so they suit the plug-in's
// network thread; the record must outlive the agent that calls them.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "pemra_network/callbacks.h"
#include "pemra_network/machine_status.h"

namespace testkit {

using namespace std::chrono_literals;

struct HostEvent {
    std::string kind;  // "status", "file_list", "file_meta", "history", "error", "file_changed", "history_changed"
    std::string device_id;
    std::string text;
    MachineStatus status;
    std::chrono::steady_clock::time_point at;
};

class HostEvents {
public:
    MachineStatusChangedFn status_fn() {
        return [this](std::string id, MachineStatus s) { add({"status", std::move(id), {}, std::move(s), now()}); };
    }
    TextArrivedFn text_fn(const char* kind) {
        return [this, kind](std::string id, std::string text) { add({kind, std::move(id), std::move(text), {}, now()}); };
    }

    // Registers all seven callbacks on an agent (its C++ setters).
    template <typename Agent>
    void attach(Agent& agent) {
        agent.set_machine_status_changed_fn(status_fn());
        agent.set_file_list_arrived_fn(text_fn("file_list"));
        agent.set_file_meta_arrived_fn(text_fn("file_meta"));
        agent.set_print_history_arrived_fn(text_fn("history"));
        agent.set_error_arrived_fn(text_fn("error"));
        agent.set_file_changed_fn(text_fn("file_changed"));
        agent.set_history_changed_fn(text_fn("history_changed"));
    }

    std::vector<HostEvent> all() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    std::vector<HostEvent> of(const std::string& kind, const std::string& device_id = {}) const {
        std::vector<HostEvent> out;
        for (auto& e : all()) {
            if (e.kind == kind && (device_id.empty() || e.device_id == device_id)) out.push_back(e);
        }
        return out;
    }
    std::vector<MachineStatus> statuses(const std::string& device_id = {}) const {
        std::vector<MachineStatus> out;
        for (auto& e : of("status", device_id)) out.push_back(e.status);
        return out;
    }
    std::size_t count() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_.size();
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.clear();
    }

    // Waits until pred holds over the events so far.
    bool wait(const std::function<bool(const std::vector<HostEvent>&)>& pred,
              std::chrono::milliseconds timeout = 10s) const {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return pred(events_); });
    }
    // Waits for a status report of `device_id` that satisfies pred.
    bool wait_status(const std::string& device_id, const std::function<bool(const MachineStatus&)>& pred,
                     std::chrono::milliseconds timeout = 10s) const {
        return wait(
            [&](const std::vector<HostEvent>& events) {
                for (const auto& e : events) {
                    if (e.kind == "status" && e.device_id == device_id && pred(e.status)) return true;
                }
                return false;
            },
            timeout);
    }
    // Waits for status reports of `device_id` matching each predicate in turn
    // (other reports may come between them).
    bool wait_in_order(const std::string& device_id,
                       const std::vector<std::function<bool(const MachineStatus&)>>& steps,
                       std::chrono::milliseconds timeout = 10s) const {
        return wait(
            [&](const std::vector<HostEvent>& events) {
                std::size_t step = 0;
                for (const auto& e : events) {
                    if (step == steps.size()) break;
                    if (e.kind == "status" && e.device_id == device_id && steps[step](e.status)) ++step;
                }
                return step == steps.size();
            },
            timeout);
    }
    bool wait_kind(const std::string& kind, std::size_t count = 1, std::chrono::milliseconds timeout = 10s) const {
        return wait(
            [&](const std::vector<HostEvent>& events) {
                std::size_t n = 0;
                for (const auto& e : events) n += e.kind == kind;
                return n >= count;
            },
            timeout);
    }

private:
    static std::chrono::steady_clock::time_point now() { return std::chrono::steady_clock::now(); }
    void add(HostEvent e) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            events_.push_back(std::move(e));
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<HostEvent> events_;  // guarded by mutex_
};

// Polls `ready` until it holds or `timeout` passes, for state that no
// condition variable announces (counters, files).
template <typename Pred>
bool eventually(Pred ready, std::chrono::milliseconds timeout = 5s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Runs fn on its own thread; a call that does not return within `limit` is a
// hang, and the test program ends at once with a message (a deadlocked
// program could not even tear its test down).
template <typename Fn>
void within(std::chrono::milliseconds limit, const char* what, Fn fn) {
    auto done = std::async(std::launch::async, std::move(fn));
    if (done.wait_for(limit) != std::future_status::ready) {
        std::fprintf(stderr, "HANG: %s did not return within %lld ms\n", what, static_cast<long long>(limit.count()));
        std::fflush(stderr);
        std::_Exit(3);
    }
    done.get();
}

// Online with a live subscription: what the host sees once a printer is up.
inline bool is_live(const MachineStatus& s) { return s.connect_state == pemra::connect_state::open && s.machine_state >= pemra::machine_state::idle; }
inline bool is_offline(const MachineStatus& s) { return s.connect_state == pemra::connect_state::closed && s.machine_state == pemra::machine_state::offline; }

}  // namespace testkit
