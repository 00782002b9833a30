// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "connection/outbound_queue.h"
#include "host_events.h"
#include "thread_state.h"

namespace {

using namespace std::chrono_literals;
using pemra::OutboundMessage;
using pemra::OutboundQueue;
using test_host::current_thread_id;
using test_host::eventually;
using test_host::wait_asleep;

OutboundMessage message(int n) { return OutboundMessage{"p", n, 0, false, "m" + std::to_string(n)}; }

TEST(OutboundQueue, DeliversInOrderUpToCapacity) {
    OutboundQueue queue(3, 30s);
    for (int i = 1; i <= 3; ++i) ASSERT_TRUE(queue.push(message(i)));
    auto extra = message(4);
    EXPECT_EQ(queue.try_push(extra), OutboundQueue::TryPush::full) << "a full queue refuses without waiting";
    EXPECT_EQ(extra.payload, "m4") << "a refused message stays with the caller";
    for (int i = 1; i <= 3; ++i) {
        OutboundMessage out;
        ASSERT_TRUE(queue.pop(out));
        EXPECT_EQ(out.request_id, i);
        EXPECT_EQ(out.payload, "m" + std::to_string(i));
    }
}

TEST(OutboundQueue, ProductCapacityIsAThousand) {
    OutboundQueue queue(OutboundQueue::kCapacity, 10ms);
    for (int i = 0; i < 1000; ++i) {
        auto m = message(i);
        ASSERT_EQ(queue.try_push(m), OutboundQueue::TryPush::accepted);
    }
    EXPECT_FALSE(queue.push(message(1000)));
    EXPECT_EQ(queue.size(), 1000u);
}

TEST(OutboundQueue, BlockedProducerProceedsWhenAMessageIsTaken) {
    OutboundQueue queue(1, 30s);
    ASSERT_TRUE(queue.push(message(1)));
    std::atomic<bool> returned{false};
    std::promise<pid_t> producer_id;
    auto producer = std::async(std::launch::async, [&] {
        producer_id.set_value(current_thread_id());
        const bool ok = queue.push(message(2));
        returned = true;
        return ok;
    });
    ASSERT_TRUE(wait_asleep(producer_id.get_future().get()));
    EXPECT_FALSE(returned.load()) << "the producer must wait while the queue is full";
    OutboundMessage out;
    ASSERT_TRUE(queue.pop(out));
    EXPECT_TRUE(producer.get());
    ASSERT_TRUE(queue.pop(out));
    EXPECT_EQ(out.request_id, 2);
}

TEST(OutboundQueue, BlockedProducerIsReleasedByClose) {
    OutboundQueue queue(1, 30s);
    ASSERT_TRUE(queue.push(message(1)));
    std::promise<pid_t> producer_id;
    auto producer = std::async(std::launch::async, [&] {
        producer_id.set_value(current_thread_id());
        return queue.push(message(2));
    });
    ASSERT_TRUE(wait_asleep(producer_id.get_future().get()));
    const auto closed_at = std::chrono::steady_clock::now();
    queue.close();
    EXPECT_FALSE(producer.get());
    EXPECT_LT(std::chrono::steady_clock::now() - closed_at, 5s);
    OutboundMessage out;
    EXPECT_FALSE(queue.pop(out)) << "queued messages are not delivered after close";
    EXPECT_FALSE(queue.push(message(3)));
    auto late = message(4);
    EXPECT_EQ(queue.try_push(late), OutboundQueue::TryPush::closed);
}

TEST(OutboundQueue, WaitsTimeOut) {
    OutboundQueue queue(1, 50ms);
    OutboundMessage out;
    EXPECT_FALSE(queue.pop(out)) << "nothing queued";
    ASSERT_TRUE(queue.push(message(1)));
    EXPECT_FALSE(queue.push(message(2))) << "no slot freed within the wait";
    EXPECT_EQ(queue.size(), 1u);
}

TEST(OutboundQueue, ConsumerWaitingForAMessageIsReleasedByPushAndByClose) {
    OutboundQueue queue(10, 30s);
    std::promise<pid_t> consumer_id;
    auto consumer = std::async(std::launch::async, [&] {
        consumer_id.set_value(current_thread_id());
        OutboundMessage out;
        return queue.pop(out) ? out.request_id : -1;
    });
    ASSERT_TRUE(wait_asleep(consumer_id.get_future().get()));
    ASSERT_TRUE(queue.push(message(7)));
    EXPECT_EQ(consumer.get(), 7);

    std::promise<pid_t> waiting_id;
    auto waiting = std::async(std::launch::async, [&] {
        waiting_id.set_value(current_thread_id());
        OutboundMessage out;
        return queue.pop(out);
    });
    ASSERT_TRUE(wait_asleep(waiting_id.get_future().get()));
    queue.close();
    EXPECT_FALSE(waiting.get());
}

TEST(OutboundQueue, ManyProducersLoseNothing) {
    OutboundQueue queue(8, 30s);
    constexpr int kProducers = 4, kEach = 500;
    std::atomic<int> received{0};
    std::thread consumer([&] {
        OutboundMessage out;
        while (received < kProducers * kEach && queue.pop(out)) ++received;
    });
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p) {
        producers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) ASSERT_TRUE(queue.push(message(i)));
        });
    }
    for (auto& t : producers) t.join();
    EXPECT_TRUE(eventually([&] { return received.load() == kProducers * kEach; }));
    queue.close();
    consumer.join();
}

}  // namespace
