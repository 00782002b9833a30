// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One agent of the plug-in, driven the way a host drives it: create, register
// the seven callbacks, start, connect, request, disconnect, destroy.

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "event_queue.h"
#include "options.h"
#include "plugin.h"

namespace monitor {

class Host {
public:
    // Creates the agent (log under log_dir/log) with every callback queuing
    // a copy of what it receives into `queue`, which must outlive this.
    Host(const PluginApi& api, const std::string& log_dir, int log_level, EventQueue& queue);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    void start();
    void connect(const PrinterTarget& printer);

    void request_file_list(const std::string& id);
    void request_file_meta(const std::string& id, const std::string& file);
    void request_history(const std::string& id, int start, int limit, const std::string& order);
    void delete_file(const std::string& id, const std::string& file);
    void send(const std::string& id, const std::string& message);

    // Disconnects every printer, waits briefly until the open ones report
    // their close, then stops and frees the agent; no callback runs after it
    // returns. Events still queued are dropped. Idempotent.
    void shut_down();

private:
    const PluginApi& api_;
    EventQueue& queue_;
    void* agent_ = nullptr;
    std::vector<std::string> connected_;
    std::mutex open_mutex_;
    std::set<std::string> open_;  // guarded by open_mutex_; printers whose link is up
};

}  // namespace monitor
