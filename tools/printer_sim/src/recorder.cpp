// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "recorder.h"

#include <utility>

namespace printer_sim::detail {

template <typename Change>
void Recorder::change(Change&& apply) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        apply();
    }
    changed_.notify_all();
}

int Recorder::note_accepted() {
    int number = 0;
    change([&] {
        ++counters_.accepted;
        number = next_connection_++;
    });
    return number;
}

void Recorder::note_held() {
    change([&] { ++counters_.held; });
}

void Recorder::note_opened() {
    change([&] {
        ++counters_.open;
        ++counters_.opened;
    });
}

void Recorder::note_closed() {
    change([&] {
        if (counters_.open > 0) --counters_.open;
    });
}

void Recorder::note_ping() { change([&] { ++counters_.pings_received; }); }
void Recorder::note_pong() { change([&] { ++counters_.pongs_sent; }); }
void Recorder::note_binary() { change([&] { ++counters_.binary_frames_received; }); }

void Recorder::note_frame(int connection, std::string text) {
    ReceivedFrame frame{std::chrono::steady_clock::now(), connection, std::move(text)};
    change([&] { frames_.push_back(std::move(frame)); });
}

void Recorder::note_client_close(ClientClose close) {
    change([&] { closes_.push_back(std::move(close)); });
}

std::vector<ClientClose> Recorder::closes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closes_;
}

bool Recorder::wait_closes(const std::function<bool(const std::vector<ClientClose>&)>& pred,
                           std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pred(closes_); });
}

std::vector<ReceivedFrame> Recorder::frames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return frames_;
}

void Recorder::clear_frames() {
    change([&] { frames_.clear(); });
}

ConnectionCounters Recorder::counters() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counters_;
}

bool Recorder::wait_frames(const std::function<bool(const std::vector<ReceivedFrame>&)>& pred,
                           std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pred(frames_); });
}

bool Recorder::wait_counters(const std::function<bool(const ConnectionCounters&)>& pred,
                             std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pred(counters_); });
}

}  // namespace printer_sim::detail
