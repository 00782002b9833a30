// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "status/json_read.h"
#include "status/status_readers.h"

namespace pemra::status {
namespace {

using json_read::Fields;
using json_read::object_entry;

// Layer counts are taken from integers only; anything else there is skipped.
void read_layer(Element info, std::string_view key, std::int32_t& member) {
    const auto value = json_read::find(info, key);
    if (!value) return;
    if (value->is_uint64()) {
        member = json_read::reduce_to_int32(value->get_uint64().value_unsafe());
    } else if (value->is_int64()) {
        member = json_read::reduce_to_int32(value->get_int64().value_unsafe());
    }
}

}  // namespace

void apply_webhooks(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("webhooks");
    if (!entry) return;
    Fields f(*entry, "webhooks");
    f.read_or_clear("state", s.webhooks.state);
    f.read_or_clear("state_message", s.webhooks.state_message);
}

void apply_idle_timeout(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("idle_timeout");
    if (!entry) return;
    Fields f(*entry, "idle_timeout");
    f.read("printing_time", s.idle_timeout.printing_time);
    f.read("state", s.idle_timeout.state);
}

void apply_virtual_sdcard(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("virtual_sdcard");
    if (!entry) return;
    Fields f(*entry, "virtual_sdcard");
    auto& v = s.virtual_sdcard;
    f.read("is_active", v.is_active);
    f.read("progress", v.progress);
    f.read("file_position", v.file_position);
    f.read("file_size", v.file_size);
    f.read_or_clear("file_path", v.file_path);
}

void apply_print_stats(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("print_stats");
    if (!entry) return;
    Fields f(*entry, "print_stats");
    auto& p = s.print_stats;
    f.read("total_duration", p.total_duration);
    f.read("print_duration", p.print_duration);
    f.read("filament_used", p.filament_used);
    f.read_or_clear("filename", p.filename);
    f.read_or_clear("state", p.state);
    f.read_or_clear("message", p.message);
    if (const auto info = object_entry(*entry, "info")) {
        read_layer(*info, "total_layer", p.total_layer);
        read_layer(*info, "current_layer", p.current_layer);
    }
}

void apply_display_status(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("display_status");
    if (!entry) return;
    Fields(*entry, "display_status").read("progress", s.display_status.progress);
}

}  // namespace pemra::status
