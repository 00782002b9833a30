// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The pace of quick reconnection attempts, on a clock of the test's own.

#include <chrono>
#include <set>

#include <gtest/gtest.h>

#include "connection/reconnect_rhythm.h"

namespace {

using namespace std::chrono_literals;
using pemra::QuickRetryTiming;
using pemra::ReconnectRhythm;

const QuickRetryTiming kProduct;
const ReconnectRhythm::Clock::time_point kT0 = ReconnectRhythm::Clock::time_point{} + 1h;

::testing::AssertionResult about(std::optional<std::chrono::milliseconds> delay, std::chrono::milliseconds base) {
    if (!delay) return ::testing::AssertionFailure() << "no attempt";
    if (*delay < base * 8 / 10 || *delay > base * 12 / 10) {
        return ::testing::AssertionFailure() << delay->count() << " ms is not within a fifth of " << base.count();
    }
    return ::testing::AssertionSuccess();
}

TEST(ReconnectRhythm, SoonAfterADropThenEverySecondUntilTheWindowEnds) {
    ReconnectRhythm rhythm(kProduct, 7);
    EXPECT_TRUE(about(rhythm.next_delay(kT0, true), 500ms));
    EXPECT_TRUE(about(rhythm.next_delay(kT0 + 1s, false), 1000ms));
    EXPECT_TRUE(about(rhythm.next_delay(kT0 + 29s, false), 1000ms));
    EXPECT_FALSE(rhythm.next_delay(kT0 + 30s, false)) << "the liveness pass takes over";
    EXPECT_FALSE(rhythm.next_delay(kT0 + 45s, false));
    // A link that opened again (at a pass) and dropped starts a new window.
    EXPECT_TRUE(about(rhythm.next_delay(kT0 + 50s, true), 500ms));
    EXPECT_TRUE(about(rhythm.next_delay(kT0 + 51s, false), 1000ms));
}

TEST(ReconnectRhythm, APrinterThatClosesRightAfterOpeningIsNeverTriedFaster) {
    ReconnectRhythm rhythm(kProduct, 11);
    int attempts = 0;
    auto now = kT0;
    // Each attempt opens and is closed at once: a drop of an open link.
    while (now < kT0 + 120s) {
        const auto delay = rhythm.next_delay(now, true);
        ASSERT_TRUE(delay);
        now += *delay;
        ++attempts;
    }
    EXPECT_LE(attempts, 125) << "about one attempt a second, not two";
}

TEST(ReconnectRhythm, TheHostsConnectStartsAFreshWindow) {
    ReconnectRhythm rhythm(kProduct, 3);
    ASSERT_TRUE(rhythm.next_delay(kT0, false));
    ASSERT_FALSE(rhythm.next_delay(kT0 + 31s, false));
    rhythm.restart();
    EXPECT_TRUE(about(rhythm.next_delay(kT0 + 32s, false), 500ms));
    EXPECT_TRUE(about(rhythm.next_delay(kT0 + 33s, false), 1000ms));
}

TEST(ReconnectRhythm, EachPrinterJittersItsOwnWay) {
    std::set<long long> firsts;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        ReconnectRhythm rhythm(kProduct, seed);
        const auto delay = rhythm.next_delay(kT0, true);
        ASSERT_TRUE(about(delay, 500ms));
        firsts.insert(delay->count());
    }
    EXPECT_GE(firsts.size(), 10u) << "twenty printers dropped together come back spread out";
}

}  // namespace
