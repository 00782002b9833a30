// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A printer's unanswered requests: what each liveness tick hands back to be
// sent again, and when.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "protocol/pending_requests.h"

namespace {

using pemra::protocol::PendingRequests;
using Due = std::vector<std::pair<std::int32_t, std::string>>;

TEST(PendingRequests, AnUnansweredRequestIsDueEveryFourthTick) {
    PendingRequests pending;
    pending.remember(3, "info");
    pending.remember(1, "list");
    for (int tick = 1; tick < PendingRequests::kResendTicks; ++tick) EXPECT_TRUE(pending.tick().empty()) << tick;
    EXPECT_EQ(pending.tick(), (Due{{1, "list"}, {3, "info"}})) << "in id order";
    EXPECT_EQ(pending.snapshot().size(), 2u) << "still pending after being handed back";
    for (int tick = 1; tick < PendingRequests::kResendTicks; ++tick) EXPECT_TRUE(pending.tick().empty()) << tick;
    EXPECT_EQ(pending.tick().size(), 2u) << "the count starts again";
}

TEST(PendingRequests, AReplyOrANewSendEndsOrRestartsTheWait) {
    PendingRequests pending;
    pending.remember(3, "info");
    pending.remember(1, "list");
    pending.tick();
    pending.tick();
    pending.forget(3);
    pending.remember(1, "list again");
    pending.tick();
    EXPECT_TRUE(pending.tick().empty()) << "the new send of 1 waits four ticks of its own";
    pending.tick();
    EXPECT_EQ(pending.tick(), (Due{{1, "list again"}}));
}

TEST(PendingRequests, ARequestNeverSentIsDueAtTheNextTick) {
    PendingRequests pending;
    pending.remember(2, "subscribe");
    pending.remember_unsent(3, "info");
    EXPECT_EQ(pending.tick(), (Due{{3, "info"}}));
}

}  // namespace
