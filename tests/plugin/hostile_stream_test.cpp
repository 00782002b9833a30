// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// A printer's link under a hostile network, end to end over loopback: what
// a client must refuse ends the link with one report, frames cut at every
// byte are read whole, and a printer beside it notices nothing.

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent_fixture.h"
#include "printer_sim/raw_frames.h"

namespace {

using namespace test_host;
namespace raw = printer_sim::raw;
using Reply = printer_sim::RawStream::Reply;

const std::string kStatus =
    R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"webhooks":{"state":"ready","state_message":"Printer is ready"},"print_stats":{"state":"printing","filename":"cube.gcode"}},1234.5]})";

struct Case {
    std::string name;
    printer_sim::RawStream stream;
};

class HostileStream : public AgentTest {
protected:
    // Nothing but the host connects a printer: a stream that ends a link is
    // played once, and reported once.
    void SetUp() override {
        start_agent(no_retry_timings());
        printer_sim::PrinterOptions options;
        options.update_interval = 50ms;
        bystander = &add_printer(options);
        connect_live("bystander", *bystander);
        bystander_generation = agent->find_connection("bystander")->generation();
        victim = &add_printer();
    }

    // Connects `id` to the victim, which plays `stream`, and waits until the
    // stream has ended and the host has heard that the link did.
    void play(const std::string& id, const printer_sim::RawStream& stream) {
        victim->raw_stream(stream);
        const auto ended = victim->counters().raw_sessions_ended;
        ASSERT_EQ(connect(id, *victim), 0);
        ASSERT_TRUE(events.wait_status(id, is_offline)) << id << " was never reported offline";
        ASSERT_TRUE(victim->wait_counters([&](const auto& c) { return c.raw_sessions_ended > ended; }, 10s))
            << id << ": the plug-in never closed the connection";
        // As the host's disconnect export does.
        agent->close(id, 1000, "");
    }

    static int closed_reports(const std::vector<MachineStatus>& statuses) {
        return static_cast<int>(std::count_if(statuses.begin(), statuses.end(), [](const MachineStatus& s) {
            return s.connect_state == pemra::connect_state::closed;
        }));
    }

    // The bystander kept its one connection, was only ever reported live
    // once it was, and its status still arrives.
    void expect_bystander_untouched() {
        const auto statuses = events.statuses("bystander");
        const auto first_live = std::find_if(statuses.begin(), statuses.end(), is_live);
        EXPECT_TRUE(std::all_of(first_live, statuses.end(), is_live));
        EXPECT_EQ(times_come_up(statuses), 1);
        EXPECT_EQ(agent->find_connection("bystander")->generation(), bystander_generation);
        const std::size_t seen = statuses.size();
        EXPECT_TRUE(events.wait([&](const std::vector<HostEvent>& all) {
            return static_cast<std::size_t>(std::count_if(all.begin(), all.end(), [](const HostEvent& e) {
                       return e.kind == "status" && e.device_id == "bystander";
                   })) > seen;
        })) << "no fresh status of the bystander";
    }

    printer_sim::Printer* bystander = nullptr;
    std::uint64_t bystander_generation = 0;  // a new connection would change it
    printer_sim::Printer* victim = nullptr;
};

raw::Frame text_frame(std::string payload) {
    raw::Frame f;
    f.payload = std::move(payload);
    return f;
}

TEST_F(HostileStream, WhatAClientMustRefuseEndsTheLinkWithOneReport) {
    std::vector<Case> cases;
    {
        raw::Frame masked = text_frame(kStatus);
        masked.mask = std::array<std::uint8_t, 4>{1, 2, 3, 4};
        cases.push_back({"masked", {Reply::handshake, {raw::encode(masked)}}});
    }
    {
        raw::Frame beyond = text_frame(kStatus);
        beyond.declared_length = kStatus.size() + 100;
        cases.push_back({"beyond", {Reply::handshake, {raw::encode(beyond)}}});
    }
    cases.push_back({"utf8", {Reply::handshake, {raw::text("{\"method\":\"\xc3\x28\"}")}}});
    {
        // Text that is UTF-8 in every fragment but the last, then a status
        // frame that must not be read.
        std::vector<std::string> chunks = raw::fragments(raw::opcode::text, "{\"method\":\"\xc3\xa9\xc3\x28\"}", 3);
        chunks.push_back(raw::text(kStatus));
        cases.push_back({"utf8-fragments", {Reply::handshake, chunks}});
    }
    cases.push_back({"reserved", {Reply::handshake, {raw::encode(raw::Frame{true, 2, 0x3, "x", {}, {}, false})}}});
    cases.push_back({"accept", {Reply::scripted, {raw::handshake_reply("s3pPLMBiTxaQ9kYGzzhZRbK+xOo="), raw::text(kStatus)}}});
    // A status code the client library cannot hold in its own type.
    cases.push_back({"status", {Reply::scripted, {"HTTP/1.1 4013 Switching Protocols\r\nUpgrade: websocket\r\n\r\n"}}});

    std::map<std::string, std::uint16_t> close_codes;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        play(c.name, c.stream);
        const auto closes = victim->closes();
        if (!closes.empty()) close_codes[c.name] = closes.back().code;
    }
    ASSERT_TRUE(settle_reports());
    // Text that is not UTF-8 is refused with the code the protocol gives it.
    EXPECT_EQ(close_codes["utf8"], 1007);
    EXPECT_EQ(close_codes["utf8-fragments"], 1007);
    for (const auto& c : cases) {
        const auto statuses = events.statuses(c.name);
        EXPECT_EQ(closed_reports(statuses), 1) << c.name;
        // Nothing of what came after the fault was read.
        EXPECT_TRUE(std::none_of(statuses.begin(), statuses.end(),
                                 [](const MachineStatus& s) { return s.print_state == pemra::print_state::printing; }))
            << c.name;
    }
    expect_bystander_untouched();
}

TEST_F(HostileStream, AStatusFrameCutAtEveryByteIsReadWhole) {
    play("cut", {Reply::handshake, raw::split_every(raw::text(kStatus), 1)});
    ASSERT_TRUE(settle_reports());
    const auto statuses = events.statuses("cut");
    const auto read = std::find_if(statuses.begin(), statuses.end(), [](const MachineStatus& s) {
        return s.connect_state == pemra::connect_state::open && s.webhooks.state == "ready" &&
               s.print_state == pemra::print_state::printing && s.machine_state == pemra::machine_state::busy;
    });
    EXPECT_NE(read, statuses.end()) << "the frame was not read";
    EXPECT_EQ(closed_reports(statuses), 1);
    EXPECT_TRUE(is_offline(statuses.back())) << "the end of the stream is the last word";
    expect_bystander_untouched();
}

TEST_F(HostileStream, AStatusMessageWithACharacterSplitBetweenFragmentsIsReadWhole) {
    const std::string message = "Pr\xc3\xaat";  // "Prêt", its "ê" split below
    const std::string status = R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"webhooks":{"state":"ready","state_message":")" +
                               message + R"("},"print_stats":{"state":"printing"}},1234.5]})";
    const std::size_t split = status.find('\xc3') + 1;
    const std::string first = raw::encode(raw::Frame{false, 0, raw::opcode::text, status.substr(0, split), {}, {}, false});
    const std::string last = raw::encode(raw::Frame{true, 0, raw::opcode::continuation, status.substr(split), {}, {}, false});
    play("split", {Reply::handshake, {first, last}});
    ASSERT_TRUE(settle_reports());
    const auto statuses = events.statuses("split");
    EXPECT_TRUE(std::any_of(statuses.begin(), statuses.end(), [&](const MachineStatus& s) {
        return s.webhooks.state_message == message && s.print_state == pemra::print_state::printing;
    })) << "the message was not read, or not byte for byte";
    EXPECT_EQ(closed_reports(statuses), 1) << "only the end of the stream ends the link";
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new test_host::LogEnvironment);
    return RUN_ALL_TESTS();
}
