// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The floor the plug-in is held against: a bare WebSocket client of the same
// library, on one thread, that subscribes every printer of the farm, parses
// each frame once with the same JSON parser and hands each element of a
// status notification to a host-style callback (device id and status record
// by value), as the plug-in reports twice per status frame. Nothing else: no
// status reading, no liveness, no reconnection, no log.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pemra_network/machine_status.h"

namespace farm {

class BareTransport {
public:
    using StatusFn = std::function<void(std::string device_id, MachineStatus status)>;

    // Its thread is named kThreadName. With a `pause`, it serves its event
    // loop a batch at a time as the plug-in's network thread does: after a
    // wake that ran at least kBusyHandlers handlers, frames gather for the
    // pause before the next batch.
    static constexpr const char* kThreadName = "bare-io";
    static constexpr std::size_t kBusyHandlers = 4;
    explicit BareTransport(StatusFn on_status, std::chrono::microseconds pause = std::chrono::microseconds(0));
    ~BareTransport();
    BareTransport(const BareTransport&) = delete;
    BareTransport& operator=(const BareTransport&) = delete;

    // Connects to every address ("host:port") and subscribes each printer to
    // all its objects; returns at once.
    void connect(const std::vector<std::string>& addresses);
    // Printers whose subscription was answered.
    int subscribed() const;
    // Every frame received, and of those the status notifications.
    std::uint64_t frames() const;
    std::uint64_t status_frames() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace farm
