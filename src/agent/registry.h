// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Registry: the agent's printers by device id, each with the WebSocket
// connection its record holds now (the handle and the URI it was made for),
// and the records removed while open, whose closing handshakes a stop waits
// for. Every change to which connection a record holds happens here, under
// the registry's one lock, together with the record's own change of
// generation; other classes ask for snapshots.
//
// Lock order: `mutex_` is taken alone. While it is held no other lock of
// ours is taken (a record's generation and state are atomics of its own),
// nothing is sent, and no callback runs.
//
// Threads: any; nothing here blocks beyond the lock.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "connection/quick_retry_timing.h"
#include "connection/ws_fwd.h"

namespace pemra {

class PrinterConnection;

class Registry {
public:
    // A record's connection as it was when asked for: which one, of which
    // generation.
    struct Link {
        std::shared_ptr<PrinterConnection> record;
        ConnectionHandle handle;
        std::uint64_t generation = 0;
    };
    // A new connection a record now holds, still to be started.
    struct Attempt {
        std::shared_ptr<PrinterConnection> record;
        std::uint64_t generation = 0;
        bool reused = false;  // the record was there before: its host hears "reconnecting"
    };
    // A closed or failed record to try again, at the generation found.
    struct Retry {
        std::shared_ptr<PrinterConnection> record;
        std::uint64_t generation = 0;
        std::string uri;
    };

    // The host's connect: creates the printer's record, or makes the
    // connection `handle` (for `uri`) its new one. Nothing when the record's
    // connection is open: an open link is kept.
    std::optional<Attempt> connect(const std::string& device_id, const std::string& uri, ConnectionHandle handle,
                                   const QuickRetryTiming& quick_retry);
    // When `record` is still registered, of generation `gen` and closed or
    // failed: what to reconnect it to.
    std::optional<Retry> due_retry(const std::shared_ptr<PrinterConnection>& record, std::uint64_t gen);
    // Makes `handle` the new connection of `retry`'s record, if that retry
    // is still due.
    std::optional<Attempt> retry(const Retry& retry, ConnectionHandle handle);
    // Forgets the printer. Its record is marked removed and, while open,
    // kept among the closing. The connection to close, if there was one.
    std::optional<Link> remove(const std::string& device_id);

    std::shared_ptr<PrinterConnection> find(const std::string& device_id) const;
    bool contains(const std::string& device_id) const { return find(device_id) != nullptr; }
    // The printer's current connection, for sending to it.
    std::optional<Link> link(const std::string& device_id) const;
    // A liveness pass's work, in key order: the open links, and the closed
    // or failed records to try again.
    void plan_pass(std::vector<Link>& open, std::vector<Retry>& due) const;
    std::vector<std::string> open_ids() const;
    // Records removed while open whose connections are still open or may be.
    std::vector<std::shared_ptr<PrinterConnection>> closing() const;

private:
    struct Entry {
        std::shared_ptr<PrinterConnection> record;
        ConnectionHandle handle;
        std::string uri;
    };

    // The entry of `record` when a retry armed at generation `gen` is still
    // due: registered, of that generation, closed or failed. With mutex_ held.
    Entry* due_entry(const std::shared_ptr<PrinterConnection>& record, std::uint64_t gen);

    mutable std::mutex mutex_;
    std::map<std::string, Entry> entries_;                   // guarded by mutex_
    std::vector<std::weak_ptr<PrinterConnection>> closing_;  // guarded by mutex_
};

}  // namespace pemra
