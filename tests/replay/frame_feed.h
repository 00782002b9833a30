// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// How the replay hands a frame to a printer's session, kept apart so that
// the replay can be built against another version of the read path.

#include <string>

#include "protocol/frame_parser.h"
#include "protocol/printer_session.h"
#include "protocol/uplink.h"

namespace replay {

void feed(pemra::protocol::PrinterSession& session, pemra::protocol::FrameParser& parser,
          pemra::protocol::Uplink& uplink, const std::string& frame);

}  // namespace replay
