// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// End to end: the built plug-in, loaded the way a host loads it (dlopen and
// dlsym by plain names), connects to a simulated printer.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "printer_sim/printer.h"
#include "testkit/host_events.h"
#include "testkit/plugin_library.h"
#include "testkit/scratch_dir.h"

#ifndef PEMRA_NETWORK_LIBRARY
#error "PEMRA_NETWORK_LIBRARY must name the built plug-in"
#endif

namespace {

using namespace std::chrono_literals;

TEST(SimPluginLoad, PluginConnectsAndSubscribes) {
    printer_sim::PrinterOptions options;
    options.hostname = "pemra";
    printer_sim::Printer printer(options);

    // Kept loaded, as a host keeps its plug-in until it exits: after dlclose
    // the process crashes at exit in code of the unloaded library.
    const testkit::PluginLibrary library(PEMRA_NETWORK_LIBRARY);
    const testkit::PluginApi& plugin = library.api();
    const testkit::ScratchDir log_dir("sim-plugin-load");

    testkit::HostEvents events;  // outlives the agent
    void* agent = plugin.pemra_network_create_agent(log_dir.path(), 4);
    ASSERT_NE(agent, nullptr);
    plugin.pemra_set_machine_status_changed_fn(agent, events.status_fn());
    plugin.pemra_network_start(agent);
    plugin.pemra_network_connect_printer(agent, "printer-1", printer.address(), "", "");

    const bool got_two = printer.wait_received(
        [](const std::vector<printer_sim::ReceivedFrame>& frames) { return frames.size() >= 2; }, 5000ms);
    const bool connected =
        events.wait_status("printer-1", [](const MachineStatus& s) { return s.connect_state == pemra::connect_state::open; }, 5000ms);
    const auto frames = printer.received();
    plugin.pemra_network_destroy_agent(agent);

    ASSERT_TRUE(got_two) << "the plug-in sent " << frames.size() << " frames";
    EXPECT_EQ(frames[0].text, R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    EXPECT_EQ(frames[1].text, R"({"jsonrpc":"2.0","method":"printer.objects.list","params":{},"id":1})");
    bool subscribed = false;
    for (const auto& frame : frames) {
        subscribed = subscribed || frame.text.find("\"printer.objects.subscribe\"") != std::string::npos;
    }
    EXPECT_TRUE(subscribed);
    EXPECT_TRUE(connected) << "no status with connect_state 1";
    for (const auto& event : events.all()) EXPECT_EQ(event.device_id, "printer-1");
}

}  // namespace
