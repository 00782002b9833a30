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

template <typename Member>
Member Recorder::copy_of(const Member& member) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return member;
}

template <typename Member, typename Pred>
bool Recorder::wait_on(const Member& member, const Pred& pred, std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return pred(member); });
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
void Recorder::note_raw_started() { change([&] { ++counters_.raw_sessions; }); }
void Recorder::note_raw_ended() { change([&] { ++counters_.raw_sessions_ended; }); }

void Recorder::note_frame(int connection, std::string text) {
    ReceivedFrame frame{std::chrono::steady_clock::now(), connection, std::move(text)};
    change([&] { frames_.push_back(std::move(frame)); });
}

void Recorder::note_client_close(ClientClose close) {
    change([&] { closes_.push_back(std::move(close)); });
}

std::vector<ClientClose> Recorder::closes() const { return copy_of(closes_); }

void Recorder::note_listen_error(std::string what) {
    change([&] { listen_errors_.push_back(std::move(what)); });
}

std::vector<std::string> Recorder::listen_errors() const { return copy_of(listen_errors_); }

bool Recorder::wait_closes(const std::function<bool(const std::vector<ClientClose>&)>& pred,
                           std::chrono::milliseconds timeout) const {
    return wait_on(closes_, pred, timeout);
}

std::vector<ReceivedFrame> Recorder::frames() const { return copy_of(frames_); }

void Recorder::clear_frames() {
    change([&] { frames_.clear(); });
}

ConnectionCounters Recorder::counters() const { return copy_of(counters_); }

bool Recorder::wait_frames(const std::function<bool(const std::vector<ReceivedFrame>&)>& pred,
                           std::chrono::milliseconds timeout) const {
    return wait_on(frames_, pred, timeout);
}

bool Recorder::wait_counters(const std::function<bool(const ConnectionCounters&)>& pred,
                             std::chrono::milliseconds timeout) const {
    return wait_on(counters_, pred, timeout);
}

}  // namespace printer_sim::detail
