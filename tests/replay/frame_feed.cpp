// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors

#include "frame_feed.h"

namespace replay {

void feed(pemra::protocol::PrinterSession& session, pemra::protocol::FrameParser& parser,
          pemra::protocol::Uplink& uplink, const std::string& frame) {
    session.handle_message(frame, parser, uplink);
}

}  // namespace replay
