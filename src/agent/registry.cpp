// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "agent/registry.h"

#include <algorithm>
#include <utility>

#include "connection/printer_connection.h"

namespace pemra {
namespace {

bool closed_or_failed(const PrinterConnection& record) {
    const ConnectionState state = record.current_state();
    return state == ConnectionState::closed || state == ConnectionState::failed;
}

}  // namespace

std::optional<Registry::Attempt> Registry::connect(const std::string& device_id, const std::string& uri,
                                                   ConnectionHandle handle, const QuickRetryTiming& quick_retry) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = entries_.find(device_id);
    if (found == entries_.end()) {
        auto record = std::make_shared<PrinterConnection>(device_id, quick_retry);
        const std::uint64_t gen = record->generation();
        entries_.emplace(device_id, Entry{record, std::move(handle), uri});
        return Attempt{std::move(record), gen, false};
    }
    Entry& entry = found->second;
    const auto gen = entry.record->begin_attempt();
    if (!gen) return std::nullopt;
    entry.handle = std::move(handle);
    entry.uri = uri;
    return Attempt{entry.record, *gen, true};
}

Registry::Entry* Registry::due_entry(const std::shared_ptr<PrinterConnection>& record, std::uint64_t gen) {
    auto found = entries_.find(record->id);
    if (found == entries_.end() || found->second.record != record) return nullptr;
    if (!record->is_current(gen) || !closed_or_failed(*record)) return nullptr;
    return &found->second;
}

std::optional<Registry::Retry> Registry::due_retry(const std::shared_ptr<PrinterConnection>& record,
                                                   std::uint64_t gen) {
    std::lock_guard<std::mutex> lock(mutex_);
    const Entry* entry = due_entry(record, gen);
    if (!entry) return std::nullopt;
    return Retry{record, gen, entry->uri};
}

std::optional<Registry::Attempt> Registry::retry(const Retry& retry, ConnectionHandle handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Checked again: a host's connect or another attempt may have come since.
    Entry* entry = due_entry(retry.record, retry.generation);
    if (!entry) return std::nullopt;
    const auto gen = retry.record->begin_attempt();
    if (!gen) return std::nullopt;
    entry->handle = std::move(handle);
    return Attempt{retry.record, *gen, true};
}

std::optional<Registry::Link> Registry::remove(const std::string& device_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = entries_.find(device_id);
    if (found == entries_.end()) return std::nullopt;
    Link link{found->second.record, found->second.handle, found->second.record->generation()};
    link.record->mark_removed();
    entries_.erase(found);
    closing_.erase(std::remove_if(closing_.begin(), closing_.end(),
                                  [](const auto& weak) {
                                      auto r = weak.lock();
                                      return !r || r->current_state() != ConnectionState::open;
                                  }),
                   closing_.end());
    if (link.record->current_state() == ConnectionState::open) closing_.push_back(link.record);
    return link;
}

std::shared_ptr<PrinterConnection> Registry::find(const std::string& device_id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = entries_.find(device_id);
    return found == entries_.end() ? nullptr : found->second.record;
}

std::optional<Registry::Link> Registry::link(const std::string& device_id) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = entries_.find(device_id);
    if (found == entries_.end()) return std::nullopt;
    return Link{found->second.record, found->second.handle, found->second.record->generation()};
}

void Registry::plan_pass(std::vector<Link>& open, std::vector<Retry>& due) const {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& [device_id, entry] : entries_) {
        switch (entry.record->current_state()) {
            case ConnectionState::open:
                open.push_back(Link{entry.record, entry.handle, entry.record->generation()});
                break;
            case ConnectionState::closed:
            case ConnectionState::failed:
                due.push_back(Retry{entry.record, entry.record->generation(), entry.uri});
                break;
            case ConnectionState::connecting:
                // The handshake timeout ends the attempt with an open or a fail.
                break;
        }
    }
}

std::vector<std::string> Registry::open_ids() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> ids;
    for (const auto& [device_id, entry] : entries_) {
        if (entry.record->current_state() == ConnectionState::open) ids.push_back(device_id);
    }
    return ids;
}

std::vector<std::shared_ptr<PrinterConnection>> Registry::closing() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::shared_ptr<PrinterConnection>> records;
    for (const auto& weak : closing_) {
        if (auto record = weak.lock()) records.push_back(std::move(record));
    }
    return records;
}

}  // namespace pemra
