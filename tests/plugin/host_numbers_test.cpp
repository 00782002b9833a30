// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The numbers a host reads, each against its literal value. The other tests
// compare with the named constants, so a constant given a new value would
// pass them all; every host, and the README's table, reads the number. The
// close codes a printer sees are read through the loaded library, as a host
// drives it.

#include <chrono>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "host_events.h"
#include "host_library.h"
#include "pemra_network/machine_status.h"
#include "printer_sim/printer.h"
#include "testkit/scratch_dir.h"

namespace {

using namespace std::chrono_literals;

struct Code {
    const char* name;
    std::int32_t value;
    std::int32_t number;  // what a host compares with
};

TEST(HostNumbers, EveryStateCodeKeepsItsNumber) {
    namespace ms = pemra::machine_state;
    namespace ps = pemra::print_state;
    namespace cs = pemra::connect_state;
    namespace ks = pemra::klippy_state;
    namespace hb = pemra::heartbeat;
    const Code table[] = {
        {"machine_state::unknown", ms::unknown, 0},
        {"machine_state::reconnecting", ms::reconnecting, 1},
        {"machine_state::offline", ms::offline, 2},
        {"machine_state::idle", ms::idle, 4},
        {"machine_state::busy", ms::busy, 5},
        {"machine_state::firmware_down", ms::firmware_down, 7},
        {"print_state::unknown", ps::unknown, 0},
        {"print_state::standby", ps::standby, 1},
        {"print_state::printing", ps::printing, 2},
        {"print_state::paused", ps::paused, 3},
        {"print_state::complete", ps::complete, 4},
        {"print_state::cancelled", ps::cancelled, 5},
        {"print_state::error", ps::error, 6},
        {"connect_state::not_open", cs::not_open, 0},
        {"connect_state::open", cs::open, 1},
        {"connect_state::closed", cs::closed, 3},
        {"klippy_state::unknown", ks::unknown, 0},
        {"klippy_state::ready", ks::ready, 1},
        {"klippy_state::disconnected", ks::disconnected, 3},
        {"klippy_state::shutdown", ks::shutdown, 4},
        {"heartbeat::unknown", hb::unknown, 0},
        {"heartbeat::pong_timed_out", hb::pong_timed_out, 1},
        {"heartbeat::alive", hb::alive, 2},
    };
    for (const auto& code : table) EXPECT_EQ(code.value, code.number) << code.name;
}

// The close code a printer receives from each way a host lets go of it.
class HostCloseCodes : public ::testing::Test {
protected:
    // Connects one printer, waits until the host sees it live, lets go of
    // it as `let_go` does and returns the code the printer was closed with.
    template <typename LetGo>
    int close_code_after(LetGo let_go) {
        printer_sim::Printer printer;
        test_host::HostEvents events;  // outlives the agent's callbacks
        void* agent = HOST_FN(lib, pemra_network_create_agent)(log_dir.path(), 1);
        HOST_FN(lib, pemra_set_machine_status_changed_fn)(agent, events.status_fn());
        HOST_FN(lib, pemra_network_start)(agent);
        HOST_FN(lib, pemra_network_connect_printer)(agent, "p1", printer.address(), "", "");
        const bool live = events.wait_status("p1", test_host::is_live);
        let_go(agent);
        int code = -1;
        if (live && printer.wait_closes([](const auto& c) { return !c.empty(); }, 5s)) code = printer.closes().front().code;
        if (agent) HOST_FN(lib, pemra_network_destroy_agent)(agent);
        EXPECT_TRUE(live) << "the printer never came up";
        return code;
    }

    test_host::HostLibrary lib;
    const testkit::ScratchDir log_dir{"host-numbers-test"};
};

TEST_F(HostCloseCodes, DisconnectClosesWith1000) {
    const int code = close_code_after([&](void*& agent) { HOST_FN(lib, pemra_network_disconnect_printer)(agent, "p1"); });
    EXPECT_EQ(code, 1000);
}

TEST_F(HostCloseCodes, DestroyClosesOpenPrintersWith1001) {
    const int code = close_code_after([&](void*& agent) {
        HOST_FN(lib, pemra_network_destroy_agent)(agent);
        agent = nullptr;
    });
    EXPECT_EQ(code, 1001);
}

}  // namespace
