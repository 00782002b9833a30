// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The tracked requests of one printer that still wait for their reply, by
// request id (one of each kind at a time). Sending remembers a request, its
// reply forgets it, and each liveness tick ages the rest: one left unanswered
// for kResendTicks ticks is due to be sent again. Safe from any thread; the
// lock is taken alone and never held while anything is sent.

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace pemra::protocol {

struct PendingRequest {
    std::string payload;       // the request's text frame
    std::int16_t retries = 0;  // liveness ticks since it was last sent
};

class PendingRequests {
public:
    // A request unanswered at this many ticks is sent again.
    static constexpr std::int16_t kResendTicks = 4;

    void remember(std::int32_t request_id, std::string payload);
    // A request that could not be sent at all: due at the next tick.
    void remember_unsent(std::int32_t request_id, std::string payload);
    void forget(std::int32_t request_id);
    // One liveness tick: the requests now due, in id order, whose count
    // starts again.
    std::vector<std::pair<std::int32_t, std::string>> tick();
    std::map<std::int32_t, PendingRequest> snapshot() const;

private:
    mutable std::mutex mutex_;
    std::map<std::int32_t, PendingRequest> requests_;  // guarded by mutex_
};

}  // namespace pemra::protocol
