// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/printer_identity.h"

#include <string>
#include <string_view>

#include "status/json_read.h"

namespace pemra::protocol {
namespace {

void replace_first(std::string& text, std::string_view from, std::string_view to) {
    const auto at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
}

// The name the host sees for a host name.
void apply_model_name(std::string& name, json_read::Element result) {
    if (name == "pemra") {
        // Two models share the factory host name; their CPU tells them apart.
        // Without a readable CPU description the name stays as it is.
        const auto cpu = json_read::find(result, "cpu_info");
        if (!cpu || !cpu->is_string()) return;
        const std::string_view cpu_info = cpu->get_string().value_unsafe();
        if (cpu_info.find("4 core") != std::string_view::npos) {
            name = "Pemra A2";
        } else if (cpu_info.find("2 core") != std::string_view::npos) {
            name = "Pemra B2";
        }
        return;
    }
    if (name == "orbit-board") {
        name = "Pemra C300";
        return;
    }
    // The maker word ends up followed by one space: "PemraX1" and "Pemra X1"
    // both read "Pemra X1".
    replace_first(name, "Pemra ", "Pemra");
    replace_first(name, "Pemra", "Pemra ");
}

}  // namespace

void apply_printer_info(MachineStatus& s, json_read::Element result) {
    constexpr std::string_view kObject = "printer.info";
    json_read::Fields f(result, kObject);
    if (const auto state = f.present("state")) {
        const std::string_view text = json_read::to_string(kObject, "state", *state);
        if (text == "ready") {
            s.klippy_state = klippy_state::ready;
        } else if (text == "shutdown" || text == "error") {
            // Halted by an error (a bad configuration, an unreachable board)
            // is as unusable as a shutdown: both need a restart.
            s.klippy_state = klippy_state::shutdown;
        } else if (text == "disconnected") {
            s.klippy_state = klippy_state::disconnected;
        }
    }
    if (f.read("hostname", s.hostname)) apply_model_name(s.hostname, result);
    f.read("software_version", s.software_version);
}

}  // namespace pemra::protocol
