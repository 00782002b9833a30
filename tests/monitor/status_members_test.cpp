// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A status event carries every member of MachineStatus, under its own name:
// the members are read from the public header itself, so a member added
// there and forgotten in the monitor fails here.

#include <csignal>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "monitor_fixture.h"

namespace monitor_test {
namespace {

// Dotted member path -> array length (0 for a plain value), as declared.
std::map<std::string, std::size_t> declared_members() {
    std::ifstream header(PEMRA_MACHINE_STATUS_HEADER);
    EXPECT_TRUE(header.good()) << PEMRA_MACHINE_STATUS_HEADER;
    const std::regex open_struct(R"(^\s*struct\s+(\w+)\s*\{)");
    const std::regex close_struct(R"(^\s*\}\s*(\w*)\s*;)");
    const std::regex member(R"(^\s*(?:std::int32_t|double|bool|std::string)\s+(\w+)\s*(?:\[(\d+)\])?\s*(?:=[^;]*)?;)");

    std::map<std::string, std::size_t> members;
    std::vector<std::string> scope;  // names of the groups we are in, outermost first
    std::vector<std::map<std::string, std::size_t>> pending{{}};
    bool inside = false;
    for (std::string line; std::getline(header, line);) {
        std::smatch m;
        if (std::regex_search(line, m, open_struct)) {
            if (!inside && m[1] == "MachineStatus") {
                inside = true;
                continue;
            }
            if (inside) pending.emplace_back();
            continue;
        }
        if (!inside) continue;
        if (std::regex_search(line, m, close_struct)) {
            if (pending.size() == 1) break;  // the end of MachineStatus
            const std::string group = m[1];
            auto inner = std::move(pending.back());
            pending.pop_back();
            for (auto& [name, length] : inner) pending.back()[group + "." + name] = length;
            continue;
        }
        if (std::regex_search(line, m, member)) {
            pending.back()[m[1]] = m[2].matched ? std::stoul(m[2]) : 0;
        }
    }
    return pending.front();
}

void flatten(const json& value, const std::string& path, std::map<std::string, std::size_t>& out) {
    if (value.is_object()) {
        for (const auto& [key, inner] : value.items()) flatten(inner, path.empty() ? key : path + "." + key, out);
    } else {
        out[path] = value.is_array() ? value.size() : 0;
    }
}

TEST(MonitorStatusMembers, AStatusEventHoldsEveryMemberOfTheRecord) {
    const auto declared = declared_members();
    ASSERT_GT(declared.size(), 100u) << "the header's members were not found";

    printer_sim::Printer printer(quick_printer());
    ChildProcess monitor(monitor_command({"--json", "p=" + printer.address()}));
    const bool up = monitor.wait_for_stdout(
        [](const std::string& out) { return out.find(R"("connect_state":1)") != std::string::npos; }, 10s);
    monitor.send_signal(SIGTERM);
    ASSERT_EQ(monitor.wait_exit(10s), 0) << monitor.err();
    ASSERT_TRUE(up) << monitor.out();
    const auto statuses = events_of(json_lines(monitor.out()), "status", "p");
    ASSERT_FALSE(statuses.empty());
    const json& status = statuses.back().at("status");

    std::map<std::string, std::size_t> shown;
    flatten(status, "", shown);
    EXPECT_EQ(shown, declared);

    // And the values are the printer's, not defaults.
    EXPECT_EQ(status.value("hostname", ""), "test-printer");
    EXPECT_EQ(status.value("connect_state", 0), 1);
    EXPECT_EQ(status.at("webhooks").value("state", ""), "ready");
    EXPECT_EQ(status.at("toolhead").at("axis_maximum").size(), 4u);
    EXPECT_GT(status.at("toolhead").at("axis_maximum")[0].get<double>(), 0.0);
}

}  // namespace
}  // namespace monitor_test
