// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "stream_seed_list.h"

#include <array>
#include <cstdint>
#include <utility>

#include "printer_sim/raw_frames.h"

namespace stream_fuzz {

namespace raw = printer_sim::raw;
using Reply = printer_sim::RawStream::Reply;

namespace {

const std::string kStatus =
    R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"webhooks":{"state":"ready","state_message":"Printer is ready"},"print_stats":{"state":"printing","filename":"cube.gcode"}},1234.5]})";
const std::string kObjectsReply =
    R"({"jsonrpc":"2.0","result":{"objects":["webhooks","print_stats","toolhead","extruder","heater_bed"]},"id":1})";
const std::string kInfoReply =
    R"({"jsonrpc":"2.0","result":{"state":"ready","state_message":"Printer is ready","hostname":"fuzz","software_version":"v0.12.0"},"id":3})";

Seed handshake(std::string name, std::vector<std::string> chunks) {
    return {std::move(name), {Reply::handshake, std::move(chunks)}};
}
Seed scripted(std::string name, std::vector<std::string> chunks) {
    return {std::move(name), {Reply::scripted, std::move(chunks)}};
}

std::vector<std::string> joined(std::vector<std::vector<std::string>> parts) {
    std::vector<std::string> out;
    for (auto& part : parts) {
        for (auto& chunk : part) out.push_back(std::move(chunk));
    }
    return out;
}

raw::Frame frame(std::uint8_t op, std::string payload) {
    raw::Frame f;
    f.opcode = op;
    f.payload = std::move(payload);
    return f;
}

}  // namespace

std::vector<Seed> seed_list() {
    std::vector<Seed> seeds;

    // Accepted: whole frames, frames cut anywhere, fragments, control frames
    // between fragments, the handshake itself in pieces.
    seeds.push_back(handshake("empty_after_handshake", {}));
    seeds.push_back(handshake("status_whole", {raw::text(kStatus)}));
    seeds.push_back(handshake("replies_and_status", {raw::text(kInfoReply), raw::text(kObjectsReply), raw::text(kStatus)}));
    {
        const std::string bytes = raw::text(kStatus);
        auto chunks = raw::split_every(bytes.substr(0, 48), 1);
        chunks.push_back(bytes.substr(48));
        seeds.push_back(handshake("status_split_bytes", std::move(chunks)));
    }
    seeds.push_back(handshake("status_split_7", raw::split_every(raw::text(kStatus), 7)));
    seeds.push_back(handshake("fragmented_text", raw::fragments(raw::opcode::text, kStatus, 4)));
    {
        auto pieces = raw::fragments(raw::opcode::text, kStatus, 3);
        seeds.push_back(handshake("control_between_fragments",
                                  {pieces[0], raw::ping("p"), pieces[1], raw::pong("q"), pieces[2]}));
    }
    seeds.push_back(handshake("ping_then_close", {raw::ping("are you there"), raw::close(1000, "bye")}));
    seeds.push_back(handshake("binary_frame", {raw::binary(std::string("\x00\x01\x02\xff", 4))}));
    {
        // The accept value in a chunk of its own, so that it is replaced.
        auto with_key = joined({raw::split_every("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\n"
                                                 "Connection: Upgrade\r\nSec-WebSocket-Accept: ", 9),
                                {std::string(printer_sim::kRawAcceptKey)},
                                {"\r\n\r\n"},
                                {raw::text(kStatus)}});
        seeds.push_back(scripted("handshake_in_pieces", std::move(with_key)));
    }

    // Refused: what a server must never send.
    {
        raw::Frame masked = frame(raw::opcode::text, kStatus);
        masked.mask = std::array<std::uint8_t, 4>{0x12, 0x34, 0x56, 0x78};
        seeds.push_back(handshake("masked_frame", {raw::encode(masked)}));
    }
    {
        raw::Frame reserved = frame(raw::opcode::text, kStatus);
        reserved.rsv = 4;
        seeds.push_back(handshake("reserved_bits", {raw::encode(reserved)}));
    }
    seeds.push_back(handshake("reserved_opcode", {raw::encode(frame(0x3, "data")), raw::encode(frame(0xB, ""))}));
    {
        raw::Frame beyond = frame(raw::opcode::text, R"({"jsonrpc":"2.0"})");
        beyond.declared_length = 1000;
        seeds.push_back(handshake("length_beyond_data", {raw::encode(beyond)}));
        raw::Frame huge = frame(raw::opcode::binary, "x");
        huge.declared_length = std::uint64_t{1} << 63;
        seeds.push_back(handshake("length_64_bit", {raw::encode(huge)}));
        raw::Frame padded = frame(raw::opcode::text, R"({"jsonrpc":"2.0"})");
        padded.long_length = true;
        seeds.push_back(handshake("length_not_minimal", {raw::encode(padded)}));
    }
    seeds.push_back(handshake("invalid_utf8_text", {raw::text("{\"method\":\"\xff\xfe\xc0\x80\"}")}));
    {
        auto pieces = raw::fragments(raw::opcode::text, "caf\xc3\xa9 \xe2\x82\xac", 2);
        seeds.push_back(handshake("utf8_cut_between_fragments", std::move(pieces)));
    }
    seeds.push_back(handshake("close_bad_codes", {raw::close(999), raw::close(1005), raw::close(5000, "x")}));
    seeds.push_back(handshake("close_one_byte", {raw::encode(frame(raw::opcode::close, "\x03"))}));
    seeds.push_back(handshake("close_invalid_utf8_reason", {raw::close(1000, "\xff")}));
    {
        raw::Frame long_ping = frame(raw::opcode::ping, std::string(200, 'p'));
        raw::Frame cut_ping = frame(raw::opcode::ping, "p");
        cut_ping.fin = false;
        seeds.push_back(handshake("bad_control_frames", {raw::encode(long_ping), raw::encode(cut_ping)}));
    }
    {
        raw::Frame stray = frame(raw::opcode::continuation, "tail");
        seeds.push_back(handshake("continuation_without_start", {raw::encode(stray)}));
        auto pieces = raw::fragments(raw::opcode::text, kStatus, 2);
        seeds.push_back(handshake("new_message_inside_fragments", {pieces[0], raw::text("{}"), pieces[1]}));
    }

    // Handshakes gone wrong.
    seeds.push_back(scripted("wrong_accept", {raw::handshake_reply("s3pPLMBiTxaQ9kYGzzhZRbK+xOo="), raw::text(kStatus)}));
    {
        std::vector<std::string> chunks = {"HTTP/1.1 101 Switching Protocols\r\n"};
        for (int i = 0; i < 40; ++i) chunks.push_back("X-Padding-" + std::to_string(i) + ": " + std::string(120, 'a') + "\r\n");
        seeds.push_back(scripted("endless_headers", std::move(chunks)));
    }
    seeds.push_back(scripted("not_found", {"HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nNot Found"}));
    seeds.push_back(scripted("not_http", {"SSH-2.0-OpenSSH_9.2\r\n"}));
    seeds.push_back(scripted("no_reply", {}));
    seeds.push_back(scripted("reply_without_upgrade",
                             {"HTTP/1.1 101 Switching Protocols\r\nSec-WebSocket-Accept: ",
                              std::string(printer_sim::kRawAcceptKey), "\r\n\r\n"}));
    return seeds;
}

}  // namespace stream_fuzz
