// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What a printer's connection needs of the agent that owns it, beyond the
// reports and requests of its session (the Uplink): the endpoint its
// WebSocket calls go through, the network thread's frame parser, and the
// reconnection of a printer that went away. The agent implements it; every
// call comes on the network thread.

#include <cstdint>
#include <memory>

#include "connection/ws_fwd.h"
#include "protocol/frame_parser.h"
#include "protocol/uplink.h"

namespace pemra {

class PrinterConnection;

class ConnectionOwner : public protocol::Uplink {
public:
    virtual WsClient& endpoint() = 0;
    virtual protocol::FrameParser& frame_parser() = 0;
    // A connection closed or failed (stop may be waiting for it).
    virtual void note_connection_ended() = 0;
    // A quick attempt of `record`, armed while its connection of generation
    // `gen` was the current one (see PrinterManager::quick_reconnect).
    virtual void quick_reconnect(const std::shared_ptr<PrinterConnection>& record, std::uint64_t gen) = 0;
    virtual bool is_stopping() const = 0;
    // A named point of a connection's life where a test may hold io_thread;
    // nothing in the product.
    virtual void pause_point(const char* point) = 0;

protected:
    ~ConnectionOwner() = default;
};

}  // namespace pemra
