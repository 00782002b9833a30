// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The raw stream fault: what goes over the wire, byte for byte, and the
// frames its helpers compose.
#include <chrono>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>

#include "printer_sim/raw_frames.h"
#include "sim_fixture.h"

namespace sim_test {
namespace {

namespace raw = printer_sim::raw;

// The example of RFC 6455, section 1.3.
const std::string kKey = "dGhlIHNhbXBsZSBub25jZQ==";
const std::string kAccept = "s3pPLMBiTxaQ9kYGzzhZRbK+xOo=";

// A client of plain TCP: sends an upgrade request and reads what comes back.
class RawClient {
public:
    explicit RawClient(std::uint16_t port) : socket_(io_) {
        socket_.connect({boost::asio::ip::make_address("127.0.0.1"), port});
        const std::string request = "GET /websocket HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\n"
                                    "Connection: Upgrade\r\nsec-websocket-key:  " + kKey + " \r\n"
                                    "Sec-WebSocket-Version: 13\r\n\r\n";
        boost::asio::write(socket_, boost::asio::buffer(request));
    }
    // Everything until the printer stops sending.
    std::string read_all() {
        std::string all;
        boost::system::error_code ec;
        boost::asio::read(socket_, boost::asio::dynamic_buffer(all), ec);
        EXPECT_EQ(ec, boost::asio::error::eof) << ec.message();
        return all;
    }
    void send(const std::string& bytes) { boost::asio::write(socket_, boost::asio::buffer(bytes)); }
    void close() { socket_.close(); }

private:
    boost::asio::io_context io_;
    boost::asio::ip::tcp::socket socket_;
};

bool wait_ended(const printer_sim::Printer& printer, std::uint64_t ended) {
    return printer.wait_counters([&](const printer_sim::ConnectionCounters& c) { return c.raw_sessions_ended == ended; },
                                 2000ms);
}

TEST(SimRawStream, AHandshakeWithTheRequestsAcceptValueThenTheChunks) {
    printer_sim::Printer printer(fast_options());
    printer.raw_stream(printer_sim::RawStream{printer_sim::RawStream::Reply::handshake,
                                              {raw::text("one"), "", "key " + std::string(printer_sim::kRawAcceptKey)}});
    RawClient client(printer.port());
    const std::string got = client.read_all();
    const std::string reply = raw::handshake_reply(kAccept, {"Server: printer-sim/1.0"});
    ASSERT_EQ(got.substr(0, reply.size()), reply);
    EXPECT_EQ(got.substr(reply.size()), raw::text("one") + "key " + kAccept);
    // The session lasts until the client closes, whatever it says meanwhile.
    EXPECT_EQ(printer.counters().raw_sessions, 1u);
    EXPECT_EQ(printer.counters().raw_sessions_ended, 0u);
    client.send(raw::close(1000));
    client.close();
    EXPECT_TRUE(wait_ended(printer, 1));
    EXPECT_EQ(printer.counters().opened, 0u) << "the WebSocket server never saw it";
}

TEST(SimRawStream, AScriptedReplyIsAllThatIsSent) {
    printer_sim::Printer printer(fast_options());
    printer.raw_stream(printer_sim::RawStream{printer_sim::RawStream::Reply::scripted,
                                              {"HTTP/1.1 200 OK\r\n", "X: {acc", "ept}\r\n", std::string(printer_sim::kRawAcceptKey)}});
    RawClient client(printer.port());
    // A placeholder cut by a chunk's end is sent as it is.
    EXPECT_EQ(client.read_all(), "HTTP/1.1 200 OK\r\nX: {accept}\r\n" + kAccept);
    client.close();
    EXPECT_TRUE(wait_ended(printer, 1));
}

TEST(SimRawStream, UnsetServesWebSocketAgain) {
    printer_sim::Printer printer(fast_options());
    printer.raw_stream(printer_sim::RawStream{printer_sim::RawStream::Reply::scripted, {}});
    {
        TestClient refused;
        EXPECT_FALSE(refused.connect(printer.port(), "/websocket", 2000ms)) << "no answer at all";
    }
    EXPECT_TRUE(wait_ended(printer, 1));
    printer.raw_stream(std::nullopt);
    TestClient served;
    ASSERT_TRUE(served.connect(printer.port()));
    EXPECT_EQ(served.call("printer.info", nlohmann::json::object(), 7)["result"]["state"], "ready");
    EXPECT_EQ(printer.counters().raw_sessions, 1u);
}

TEST(SimRawStream, StalledHandshakesTakePrecedenceAndGiveWayAgain) {
    printer_sim::Printer printer(fast_options());
    printer.raw_stream(printer_sim::RawStream{printer_sim::RawStream::Reply::scripted, {"x"}});
    printer.stall_handshakes(true);
    {
        TestClient stalled;
        EXPECT_FALSE(stalled.connect(printer.port(), "/websocket", 200ms));
        // Accepted, and so already kept aside unread or played the stream.
        EXPECT_TRUE(printer.wait_counters([](const printer_sim::ConnectionCounters& c) { return c.accepted >= 1; }, 2000ms));
    }
    EXPECT_EQ(printer.counters().raw_sessions, 0u);
    printer.stall_handshakes(false);
    RawClient client(printer.port());
    EXPECT_EQ(client.read_all(), "x");
    EXPECT_EQ(printer.counters().raw_sessions, 1u);
}

TEST(SimRawFrames, HeaderBytesFollowTheFrameLayout) {
    // FIN and opcode, then the length in 7 bits, 16 bits after 126 or 64
    // bits after 127, big-endian.
    EXPECT_EQ(raw::text("Hi"), std::string("\x81\x02Hi", 4));
    EXPECT_EQ(raw::ping(), std::string("\x89\x00", 2));
    EXPECT_EQ(raw::close(1002, "x"), std::string("\x88\x03\x03\xea" "x", 5));
    EXPECT_EQ(raw::binary(std::string(126, 'b')).substr(0, 4), std::string("\x82\x7e\x00\x7e", 4));
    raw::Frame frame;
    frame.fin = false;
    frame.rsv = 5;
    frame.opcode = 0xB;
    frame.payload = "abc";
    frame.declared_length = 0x10000;
    EXPECT_EQ(raw::encode(frame), std::string("\x5b\x7f\x00\x00\x00\x00\x00\x01\x00\x00" "abc", 13));
    frame = raw::Frame{};
    frame.payload = "ab";
    frame.long_length = true;
    EXPECT_EQ(raw::encode(frame), std::string("\x81\x7e\x00\x02" "ab", 6));
    // Masked: the mask bit, the key, the payload XORed with the key.
    frame = raw::Frame{};
    frame.payload = "Hello";
    frame.mask = std::array<std::uint8_t, 4>{0x37, 0xfa, 0x21, 0x3d};
    EXPECT_EQ(raw::encode(frame), std::string("\x81\x85\x37\xfa\x21\x3d\x7f\x9f\x4d\x51\x58", 11));  // RFC 6455, 5.7
}

TEST(SimRawFrames, FragmentsCarryTheOpcodeOnceAndFinOnTheLast) {
    const auto pieces = raw::fragments(raw::opcode::text, "abcde", 3);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[0], std::string("\x01\x02" "ab", 4));
    EXPECT_EQ(pieces[1], std::string("\x00\x02" "cd", 4));
    EXPECT_EQ(pieces[2], std::string("\x80\x01" "e", 3));
    EXPECT_EQ(raw::split_every("abcde", 2), (std::vector<std::string>{"ab", "cd", "e"}));
}

TEST(SimRawFrames, DecodeGivesBackWhatEncodeWrote) {
    std::vector<raw::Frame> frames(5);
    frames[0].payload = "Hello";
    frames[0].mask = std::array<std::uint8_t, 4>{0x37, 0xfa, 0x21, 0x3d};
    frames[1] = raw::Frame{false, 5, 0xB, std::string(126, 'b'), {}, {}, false};
    frames[2].payload = "ab";
    frames[2].long_length = true;
    frames[3] = raw::Frame{true, 0, raw::opcode::close, std::string(70000, 'c'), std::array<std::uint8_t, 4>{1, 2, 3, 4}, {}, false};
    frames[4].opcode = raw::opcode::ping;
    std::string stream;
    for (const auto& f : frames) stream += raw::encode(f);
    std::string_view rest = stream;
    for (const auto& f : frames) {
        std::size_t used = 0;
        const auto back = raw::decode(rest, used);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->fin, f.fin);
        EXPECT_EQ(back->rsv, f.rsv);
        EXPECT_EQ(back->opcode, f.opcode);
        EXPECT_EQ(back->payload, f.payload);
        EXPECT_EQ(back->mask, f.mask);
        EXPECT_EQ(back->long_length, f.long_length);
        rest.remove_prefix(used);
    }
    EXPECT_TRUE(rest.empty());
    // A frame the bytes do not hold all of is not read.
    std::size_t used = 0;
    const std::string masked = raw::encode(frames[0]);
    for (std::size_t cut = 0; cut < masked.size(); ++cut) EXPECT_FALSE(raw::decode(std::string_view(masked).substr(0, cut), used)) << cut;
}

}  // namespace
}  // namespace sim_test
