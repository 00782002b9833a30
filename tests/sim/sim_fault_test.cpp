// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Faults injected on demand do what they say.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "sim_fixture.h"

namespace sim_test {
namespace {

TEST_F(SimTest, RefusedConnectionsAndReopening) {
    start();
    printer->refuse_connections(true);
    {
        TestClient refused;
        EXPECT_FALSE(refused.connect(printer->port(), "/websocket", 1000ms));
        EXPECT_EQ(refused.http_status(), 0);  // no HTTP answer at all
    }
    EXPECT_TRUE(client->is_open());  // existing connections stay
    printer->refuse_connections(false);
    TestClient again;
    EXPECT_TRUE(again.connect(printer->port()));
}

TEST_F(SimTest, StalledHandshakeNeverOpens) {
    start();
    printer->stall_handshakes(true);
    const auto accepted = printer->counters().accepted;
    {
        TestClient stalled;
        EXPECT_FALSE(stalled.connect(printer->port(), "/websocket", 300ms));
        // The TCP connection was accepted, the handshake never answered.
        EXPECT_TRUE(printer->wait_counters(
            [&](const printer_sim::ConnectionCounters& c) { return c.accepted == accepted + 1; }, 1000ms));
        EXPECT_EQ(printer->counters().opened, 1u);
    }
    printer->stall_handshakes(false);
    TestClient again;
    EXPECT_TRUE(again.connect(printer->port()));
}

TEST_F(SimTest, WithheldPongs) {
    start();
    printer->withhold_pongs(true);
    client->ping();
    ASSERT_TRUE(printer->wait_counters(
        [](const printer_sim::ConnectionCounters& c) { return c.pings_received == 1; }, 2000ms));
    // A pong would be written before the reply to a request read after the
    // ping: the reply is the witness that none was.
    ASSERT_TRUE(client->call("server.info", nlohmann::json::object(), 9).is_object());
    EXPECT_EQ(client->pongs(), 0);
    EXPECT_EQ(printer->counters().pongs_sent, 0u);
    printer->withhold_pongs(false);
    client->ping();
    EXPECT_TRUE(client->wait_pongs(1, 2000ms));
}

TEST_F(SimTest, PausedStatusUpdates) {
    start();
    subscribe_all();
    ASSERT_TRUE(client->wait_notifications("notify_status_update", 1, 2000ms));
    printer->pause_status_updates(true);
    client->clear_frames();
    // Other notifications still flow; two of them, 200 ms apart, span four
    // status intervals that sent nothing.
    EXPECT_TRUE(client->wait_notifications("notify_proc_stat_update", 2, 2000ms));
    EXPECT_TRUE(client->notifications("notify_status_update").empty());
    printer->pause_status_updates(false);
    EXPECT_TRUE(client->wait_notifications("notify_status_update", 1, 2000ms));
}

TEST_F(SimTest, DroppedConnectionsGetNoCloseFrame) {
    start();
    printer->drop_connections();
    ASSERT_TRUE(client->wait_closed(2000ms));
    EXPECT_EQ(client->close_code(), 1006);  // ended without a close frame
    EXPECT_TRUE(printer->wait_counters([](const printer_sim::ConnectionCounters& c) { return c.open == 0; }, 2000ms));
}

TEST_F(SimTest, ClosedWithGivenCodeAndReason) {
    start();
    printer->close_connections(4000, "maintenance");
    ASSERT_TRUE(client->wait_closed(2000ms));
    EXPECT_EQ(client->close_code(), 4000);
    EXPECT_EQ(client->close_reason(), "maintenance");
}

TEST_F(SimTest, DelayedDroppedAndErrorReplies) {
    start();
    printer_sim::MethodFault delay;
    delay.delay = std::chrono::milliseconds(250);
    printer->set_method_fault("printer.info", delay);
    printer_sim::MethodFault drop;
    drop.drop = true;
    printer->set_method_fault("server.files.get_directory", drop);
    printer_sim::MethodFault error;
    error.error_code = -32000;
    error.error_message = "simulated failure";
    printer->set_method_fault("printer.objects.list", error);

    const auto sent = std::chrono::steady_clock::now();
    client->send(R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    client->send(R"({"jsonrpc":"2.0","method":"server.info","params":{},"id":9})");
    // Other methods are answered meanwhile.
    ASSERT_TRUE(client->reply(9).is_object());
    EXPECT_FALSE(client->reply(3, 0ms).is_object());
    const auto info = client->reply(3, 2000ms);
    ASSERT_TRUE(info.is_object());
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 240ms);
    EXPECT_EQ(info["result"]["state"], "ready");

    const std::string listing =
        R"({"jsonrpc":"2.0","method":"server.files.get_directory","params":{"path":"gcodes"},"id":4})";
    client->send(listing);
    // Requests are answered in order: the one after it is the witness.
    ASSERT_TRUE(client->call("server.info", nlohmann::json::object(), 10).is_object());
    EXPECT_FALSE(client->reply(4, 0ms).is_object());
    // Received and recorded, just never answered.
    EXPECT_TRUE(printer->wait_for_text(listing, 100ms));

    const auto list = client->call("printer.objects.list", nlohmann::json::object(), 1);
    EXPECT_EQ(list["error"], nlohmann::json({{"code", -32000}, {"message", "simulated failure"}}));

    printer->clear_method_faults();
    EXPECT_TRUE(client->call("printer.objects.list", nlohmann::json::object(), 11)["result"].is_object());
}

// What the test sent, without the periodic statistics that may come between.
std::vector<Frame> injected(const std::vector<Frame>& frames) {
    std::vector<Frame> out;
    for (auto& f : frames) {
        if (f.binary || !f.json.is_object() || f.json.value("method", "") != "notify_proc_stat_update") out.push_back(f);
    }
    return out;
}

TEST_F(SimTest, RawBinaryAndOversizedFrames) {
    start();
    TestClient second;
    ASSERT_TRUE(connect(second));
    printer->send_text(R"({"jsonrpc":"2.0","method":"notify_status_update","params":"wrong"})");
    printer->send_text("{truncated", 2);
    printer->send_binary(std::string("\x00\x01\xff", 3));
    printer->send_oversized(3u << 20);
    // A 3 MiB frame takes seconds to mask and parse under a sanitizer.
    EXPECT_TRUE(client->wait([](const std::vector<Frame>& f) { return injected(f).size() >= 3; }, 20000ms));
    EXPECT_TRUE(second.wait([](const std::vector<Frame>& f) { return injected(f).size() >= 4; }, 20000ms));
    const auto first = injected(client->frames());
    const auto other = injected(second.frames());
    ASSERT_EQ(first.size(), 3u);
    ASSERT_EQ(other.size(), 4u);
    EXPECT_EQ(first[0].text, R"({"jsonrpc":"2.0","method":"notify_status_update","params":"wrong"})");
    EXPECT_TRUE(first[1].binary);
    EXPECT_EQ(first[1].text, std::string("\x00\x01\xff", 3));
    EXPECT_EQ(first[2].text.size(), 3u << 20);
    EXPECT_EQ(first[2].json["method"], "notify_gcode_response");
    EXPECT_EQ(other[1].text, "{truncated");
}

TEST_F(SimTest, BinaryFramesFromClientsAreCountedNotAnswered) {
    start();
    // A request in a binary frame, then the same as text: frames are read in
    // order, so the text reply means the binary one has been dealt with.
    client->send_binary(R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":2})");
    client->send(R"({"jsonrpc":"2.0","method":"printer.info","params":{},"id":3})");
    ASSERT_TRUE(client->reply(3).is_object());
    EXPECT_EQ(printer->counters().binary_frames_received, 1u);
    ASSERT_EQ(printer->received().size(), 1u) << "only text frames are recorded as requests";
    EXPECT_NE(printer->received().front().text.find("\"id\":3"), std::string::npos);
    EXPECT_FALSE(client->reply(2, 0ms).is_object()) << "a binary frame is not answered";
}

TEST(SimFaults, StalledHandshakeHoldsTheRawConnection) {
    printer_sim::Printer printer(fast_options());
    printer.stall_handshakes(true);
    boost::asio::io_context io;
    boost::asio::ip::tcp::socket socket(io);
    socket.connect({boost::asio::ip::make_address("127.0.0.1"), printer.port()});
    const std::string request = "GET /websocket HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                "Connection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
                                "Sec-WebSocket-Version: 13\r\n\r\n";
    boost::asio::write(socket, boost::asio::buffer(request));
    ASSERT_TRUE(printer.wait_counters([](const printer_sim::ConnectionCounters& c) { return c.accepted >= 1; }, 2000ms));
    // Up to the release: still open, and nothing came back.
    socket.non_blocking(true);
    char byte = 0;
    boost::system::error_code ec;
    socket.read_some(boost::asio::buffer(&byte, 1), ec);
    ASSERT_EQ(ec, boost::asio::error::would_block);
    printer.stall_handshakes(false);
    // Released: the server closes the stalled connection (a reset, as the
    // request was never read). Anything it had answered before would be read
    // ahead of the close.
    socket.non_blocking(false);
    std::size_t received = 0;
    while (!ec || ec == boost::asio::error::would_block) {
        ec = {};
        received += socket.read_some(boost::asio::buffer(&byte, 1), ec);
    }
    EXPECT_EQ(received, 0u);
    EXPECT_TRUE(ec == boost::asio::error::eof || ec == boost::asio::error::connection_reset) << ec.message();
}

// Something else takes the printer's port while it does not listen, the way
// another program can between a fault and its end.
class PortSquatter {
public:
    explicit PortSquatter(std::uint16_t port) : acceptor_(io_) {
        const boost::asio::ip::tcp::endpoint endpoint(boost::asio::ip::make_address("127.0.0.1"), port);
        acceptor_.open(endpoint.protocol());
        // As the printer binds: its own closed connections may linger in
        // TIME_WAIT on the port.
        acceptor_.set_option(boost::asio::socket_base::reuse_address(true));
        acceptor_.bind(endpoint);
        acceptor_.listen();
    }

private:
    boost::asio::io_context io_;
    boost::asio::ip::tcp::acceptor acceptor_;
};

bool wait_listen_error(const printer_sim::Printer& printer, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (printer.listen_errors().empty() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    return !printer.listen_errors().empty();
}

TEST_F(SimTest, ListeningAgainOnATakenPortIsReported) {
    start();
    printer->refuse_connections(true);
    {
        PortSquatter squatter(printer->port());
        // The control call returns once the printer has tried to listen.
        printer->refuse_connections(false);
        const std::vector<std::string> errors = printer->listen_errors();
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors.front().find("127.0.0.1:" + std::to_string(printer->port())), std::string::npos)
            << errors.front();
        EXPECT_NE(errors.front().find("cannot listen again"), std::string::npos) << errors.front();
    }
    // With the port free again, the next change of the fault listens.
    printer->refuse_connections(true);
    printer->refuse_connections(false);
    EXPECT_EQ(printer->listen_errors().size(), 1u);
    TestClient again;
    EXPECT_TRUE(again.connect(printer->port()));
}

TEST_F(SimTest, AServerRestartOntoATakenPortIsReported) {
    start();
    // The listening socket is closed when restart_server returns, and the
    // printer tries to listen again a second later.
    printer->restart_server(1000ms);
    PortSquatter squatter(printer->port());
    ASSERT_TRUE(wait_listen_error(*printer, 5000ms));
    const std::vector<std::string> errors = printer->listen_errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors.front().find("cannot listen again"), std::string::npos) << errors.front();
}

TEST_F(SimTest, StallingOnATakenPortIsReported) {
    start();
    printer->refuse_connections(true);
    PortSquatter squatter(printer->port());
    // A stall while refusing listens nowhere; ending the refusal opens the
    // side acceptor, which cannot bind.
    printer->stall_handshakes(true);
    EXPECT_TRUE(printer->listen_errors().empty());
    printer->refuse_connections(false);
    const std::vector<std::string> errors = printer->listen_errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors.front().find("cannot listen for stalled handshakes"), std::string::npos) << errors.front();
}

}  // namespace
}  // namespace sim_test
