// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// A busy host: two threads that call the plug-in's exports the way a
// slicer with a farm open does, only far more often, with bursts. One
// connects, disconnects (and later reconnects) printers and asks for files
// and history; the other swaps the status callback, sends raw requests and
// asks for metadata. Every call is timed, so the soak can tell when an
// export stood still.
//
// Threads: the two storm threads call the exports; the soak's main thread
// starts, stops and reads the timings (atomics).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame_ledger.h"
#include "testkit/plugin_library.h"

namespace soak {

class HostStorm {
public:
    HostStorm(const testkit::PluginApi& api, void* agent, std::vector<std::string> addresses, FrameLedger& ledger,
              std::uint64_t seed);
    ~HostStorm();  // stop()
    HostStorm(const HostStorm&) = delete;
    HostStorm& operator=(const HostStorm&) = delete;

    // Joins both threads and connects again every printer they disconnected.
    void stop();
    // Sets the status callback that feeds the ledger (also what the storm
    // swaps it with).
    static void set_status_callback(const testkit::PluginApi& api, void* agent, FrameLedger& ledger);

    std::uint64_t calls() const { return calls_.load(std::memory_order_relaxed); }
    std::uint64_t replies() const { return replies_->load(std::memory_order_relaxed); }
    // The longest export call that ended since the last take, and its name.
    std::int64_t take_longest_call_ns(const char** what);
    // How long the call now in progress on either thread has run (0 when
    // none), and its name: a hung export never ends to be timed.
    std::int64_t running_call_ns(const char** what) const;

private:
    void churn(std::uint64_t seed);
    void switches(std::uint64_t seed);
    template <typename Fn>
    void call(int slot, const char* what, Fn&& fn);
    void reconnect_due(bool all);

    const testkit::PluginApi& api_;
    void* const agent_;
    const std::vector<std::string> addresses_;
    FrameLedger& ledger_;
    std::atomic<bool> stop_{false};

    std::atomic<std::uint64_t> calls_{0};
    // Shared with the reply callbacks, which may run after this object is
    // gone if the agent outlives it.
    std::shared_ptr<std::atomic<std::uint64_t>> replies_ = std::make_shared<std::atomic<std::uint64_t>>(0);
    std::atomic<std::int64_t> longest_call_ns_{0};
    std::atomic<const char*> longest_what_{""};
    std::atomic<std::int64_t> entered_ns_[2] = {0, 0};
    std::atomic<const char*> what_[2] = {"", ""};

    // The churn thread's own: printers it disconnected, due back at a time.
    struct Down {
        int printer;
        std::int64_t back_ns;
    };
    std::vector<Down> down_;
    std::vector<std::thread> threads_;
};

}  // namespace soak
