// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "status/json_read.h"
#include "status/status_readers.h"

namespace pemra::status {

using json_read::Fields;
using json_read::object_entry;

void apply_configfile(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("configfile");
    if (!entry) return;
    Fields(*entry, "configfile").read("save_config_pending", s.save_config_pending);
    const auto settings = object_entry(*entry, "settings");
    if (!settings) return;
    const auto fan = object_entry(*settings, "fan");
    if (!fan) return;
    Fields(*fan, "configfile.settings.fan").read("max_power", s.fan.max_power);
}

void apply_bed_mesh(MachineStatus& s, const Entries& status) {
    const auto entry = status.object("bed_mesh");
    if (!entry) return;
    Fields f(*entry, "bed_mesh");
    f.read("mesh_min", s.bed_mesh.mesh_min);
    f.read("mesh_max", s.bed_mesh.mesh_max);
}

}  // namespace pemra::status
