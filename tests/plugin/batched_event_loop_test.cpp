// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The network thread's batches: a quiet loop serves at once, a busy wake is
// followed by a pause in which work gathers, and stopping ends a pause.

#include <atomic>
#include <chrono>
#include <thread>

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <gtest/gtest.h>

#include "connection/batched_event_loop.h"
#include "testkit/host_events.h"

namespace {

using namespace std::chrono_literals;
using testkit::eventually;

// A pause no test may sit out: work that waits for it fails the test.
constexpr std::chrono::microseconds kForever = std::chrono::hours(1);

class BatchedEventLoop : public ::testing::Test {
protected:
    void start(std::chrono::microseconds pause) {
        loop = std::make_unique<pemra::BatchedEventLoop>(io, pause);
        thread = std::thread([this] { loop->run(); });
    }
    void post_many(int count) {
        for (int i = 0; i < count; ++i) boost::asio::post(io, [this] { ran.fetch_add(1); });
    }
    void TearDown() override {
        if (loop) loop->stop_pausing();
        work.reset();
        io.stop();
        if (thread.joinable()) thread.join();
    }

    boost::asio::io_context io;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work{io.get_executor()};
    std::unique_ptr<pemra::BatchedEventLoop> loop;
    std::thread thread;
    std::atomic<int> ran{0};
};

TEST_F(BatchedEventLoop, AQuietLoopServesEachLoneEventAtOnce) {
    start(kForever);
    for (int i = 1; i <= 5; ++i) {
        post_many(1);
        ASSERT_TRUE(eventually([&] { return ran.load() == i; }, 5s)) << "event " << i << " waited for a pause";
    }
    EXPECT_EQ(loop->pauses(), 0u);
    EXPECT_EQ(loop->wakes(), 5u);
}

TEST_F(BatchedEventLoop, ABusyWakeLetsWorkGatherAndStoppingEndsThePause) {
    post_many(pemra::BatchedEventLoop::kBusyHandlers);  // ready before the loop's first wake
    start(kForever);
    ASSERT_TRUE(eventually([&] { return loop->pauses() == 1u; }, 5s));
    EXPECT_EQ(ran.load(), static_cast<int>(pemra::BatchedEventLoop::kBusyHandlers)) << "one wake served them all";
    post_many(20);
    EXPECT_EQ(ran.load(), static_cast<int>(pemra::BatchedEventLoop::kBusyHandlers)) << "the pause holds new work";
    loop->stop_pausing();
    ASSERT_TRUE(eventually([&] { return ran.load() == static_cast<int>(pemra::BatchedEventLoop::kBusyHandlers) + 20; }, 5s))
        << "stopping ends the pause at once";
    EXPECT_EQ(loop->wakes(), 2u) << "what gathered was served in one batch";
    post_many(pemra::BatchedEventLoop::kBusyHandlers);
    EXPECT_TRUE(eventually([&] { return ran.load() == 2 * static_cast<int>(pemra::BatchedEventLoop::kBusyHandlers) + 20; }, 5s))
        << "no pause after stopping";
    EXPECT_EQ(loop->pauses(), 1u);
}

TEST_F(BatchedEventLoop, WithoutAPauseEveryWakeIsServedAtOnce) {
    start(std::chrono::microseconds(0));
    for (int round = 1; round <= 3; ++round) {
        post_many(10);
        ASSERT_TRUE(eventually([&] { return ran.load() == 10 * round; }, 5s));
    }
    EXPECT_EQ(loop->pauses(), 0u);
}

}  // namespace
