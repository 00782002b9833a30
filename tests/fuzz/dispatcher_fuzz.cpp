// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Arbitrary frames into one printer's session, reporting to a recording
// uplink: nothing may crash, trip a sanitizer or let an exception escape.
//
// Each input starts from a fresh session and uplink, so a finding replays
// from its own file alone. The parser is kept: between parses it holds only
// buffers, never anything read from a frame.

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/frame_parser.h"
#include "protocol/printer_session.h"
#include "testkit/recording_uplink.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static pemra::protocol::FrameParser parser;
    testkit::RecordingUplink uplink;
    pemra::protocol::PrinterSession session("fuzz");
    const std::string frame(reinterpret_cast<const char*>(data), size);
    session.handle_message(frame, parser, uplink);
    return 0;
}
