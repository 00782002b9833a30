// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "io_thread.h"

namespace printer_sim::detail {

IoThread::IoThread() : work_(boost::asio::make_work_guard(io_)) {
    thread_ = std::thread([this] {
        thread_id_.store(std::this_thread::get_id());
        io_.run();
    });
}

IoThread::~IoThread() { join(); }

void IoThread::join() {
    std::lock_guard<std::mutex> lock(join_mutex_);
    if (joined_) return;
    joined_ = true;
    // Without the guard run() returns once the queued work is done; stop()
    // then ends whatever is still waiting (timers of stopped printers).
    work_.reset();
    boost::asio::post(io_, [this] { io_.stop(); });
    if (thread_.joinable()) thread_.join();
}

}  // namespace printer_sim::detail
