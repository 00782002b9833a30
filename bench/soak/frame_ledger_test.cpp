// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The soak's verdict on lost frames rests on the ledger's counting.

#include <gtest/gtest.h>

#include "frame_ledger.h"
#include "process_stats.h"

namespace soak {
namespace {

MachineStatus live_frame(double number) {
    MachineStatus s;
    s.connect_state = pemra::connect_state::open;
    s.machine_state = pemra::machine_state::idle;
    s.toolhead.estimated_print_time = -number;
    return s;
}

MachineStatus reconnecting() {
    MachineStatus s;
    s.connect_state = pemra::connect_state::not_open;
    s.machine_state = pemra::machine_state::reconnecting;
    return s;
}

TEST(FrameLedger, CountsTheFramesALiveConnectionSkipped) {
    FrameLedger ledger(2);
    for (double n : {1, 2, 2, 3, 6, 7}) ledger.on_status("p0", live_frame(n));  // 2 twice: one frame, two reports
    EXPECT_EQ(ledger.numbered_frames(), 5u);
    EXPECT_EQ(ledger.lost_frames(), 2u);  // 4 and 5
    ledger.on_status("p1", live_frame(9));
    ledger.on_status("p1", live_frame(8));
    EXPECT_EQ(ledger.out_of_order(), 1u);
    EXPECT_EQ(ledger.live(), 2);
}

TEST(FrameLedger, ABreakInTheLinkOrASubscriptionReplyStartsAfresh) {
    FrameLedger ledger(1);
    ledger.on_status("p0", live_frame(1));
    ledger.on_status("p0", reconnecting());
    EXPECT_EQ(ledger.live(), 0);
    EXPECT_EQ(ledger.attempts(), 1u);
    ledger.on_status("p0", live_frame(40));
    MachineStatus reply = live_frame(0);
    reply.toolhead.estimated_print_time = 12.5;  // a subscription's reply carries no number
    ledger.on_status("p0", reply);
    ledger.on_status("p0", live_frame(90));
    ledger.mark_down(0);
    EXPECT_EQ(ledger.live(), 0);
    ledger.on_status("p0", live_frame(95));
    EXPECT_EQ(ledger.lost_frames(), 0u);
    EXPECT_EQ(ledger.live(), 1);
}

TEST(FrameLedger, FreshMeansLiveWithANumberedFrameSince) {
    FrameLedger ledger(3);
    ledger.on_status("p0", live_frame(1));
    const std::int64_t since = farm::steady_ns();
    ledger.on_status("p1", live_frame(1));
    ledger.on_status("p2", live_frame(1));
    ledger.on_status("p2", reconnecting());
    ledger.on_status("nobody", live_frame(1));
    EXPECT_EQ(ledger.fresh_since(since), 1);
    EXPECT_EQ(ledger.unknown_ids(), 1u);
}

}  // namespace
}  // namespace soak
