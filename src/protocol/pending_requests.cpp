// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "protocol/pending_requests.h"

namespace pemra::protocol {

void PendingRequests::remember(std::int32_t request_id, std::string payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_[request_id] = PendingRequest{std::move(payload), 0};
}

void PendingRequests::remember_unsent(std::int32_t request_id, std::string payload) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_[request_id] = PendingRequest{std::move(payload), kResendTicks - 1};
}

void PendingRequests::forget(std::int32_t request_id) {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.erase(request_id);
}

std::vector<std::pair<std::int32_t, std::string>> PendingRequests::tick() {
    std::vector<std::pair<std::int32_t, std::string>> due;
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& [request_id, request] : requests_) {
        if (++request.retries >= kResendTicks) {
            request.retries = 0;
            due.emplace_back(request_id, request.payload);
        }
    }
    return due;
}

std::map<std::int32_t, PendingRequest> PendingRequests::snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

}  // namespace pemra::protocol
