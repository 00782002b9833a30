// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The record of what one printer's clients did: frames received, connection
// numbers handed out, counters.
//
// Thread-safe: the io thread writes, test threads read and wait. Nothing here
// calls out while holding the lock, and waits are bounded by their timeout.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "printer_sim/recording.h"

namespace printer_sim::detail {

class Recorder {
public:
    // The next connection number (1, 2, ...); counts an accepted TCP connection.
    int note_accepted();
    void note_opened();
    void note_held();
    void note_closed();
    void note_ping();
    void note_pong();
    void note_binary();
    void note_raw_started();
    void note_raw_ended();
    void note_frame(int connection, std::string text);
    void note_client_close(ClientClose close);
    void note_listen_error(std::string what);

    std::vector<ReceivedFrame> frames() const;
    void clear_frames();
    ConnectionCounters counters() const;
    std::vector<ClientClose> closes() const;
    std::vector<std::string> listen_errors() const;
    bool wait_closes(const std::function<bool(const std::vector<ClientClose>&)>& pred,
                     std::chrono::milliseconds timeout) const;

    bool wait_frames(const std::function<bool(const std::vector<ReceivedFrame>&)>& pred,
                     std::chrono::milliseconds timeout) const;
    bool wait_counters(const std::function<bool(const ConnectionCounters&)>& pred,
                       std::chrono::milliseconds timeout) const;

private:
    template <typename Change>
    void change(Change&& apply);
    // A copy of one guarded member, and a wait until `pred` holds for it.
    template <typename Member>
    Member copy_of(const Member& member) const;
    template <typename Member, typename Pred>
    bool wait_on(const Member& member, const Pred& pred, std::chrono::milliseconds timeout) const;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;  // signalled under mutex_ after every change
    std::vector<ReceivedFrame> frames_;        // guarded by mutex_
    ConnectionCounters counters_;              // guarded by mutex_
    std::vector<ClientClose> closes_;          // guarded by mutex_
    std::vector<std::string> listen_errors_;   // guarded by mutex_
    int next_connection_ = 1;                  // guarded by mutex_
};

}  // namespace printer_sim::detail
