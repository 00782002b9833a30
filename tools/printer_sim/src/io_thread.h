// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// An io_context with the one thread that runs it.
//
// The thread starts in the constructor and runs until join() (or the
// destructor). call() runs a function on that thread and waits for its
// result; called on the io thread itself it runs the function directly.
// After join() call() runs the function on the caller's thread, as nothing
// else can touch the io objects any more.

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>

#include <atomic>
#include <exception>
#include <future>
#include <mutex>
#include <thread>
#include <type_traits>
#include <utility>

namespace printer_sim::detail {

class IoThread {
public:
    IoThread();
    ~IoThread();
    IoThread(const IoThread&) = delete;
    IoThread& operator=(const IoThread&) = delete;

    boost::asio::io_context& io() { return io_; }
    bool on_thread() const { return std::this_thread::get_id() == thread_id_.load(); }
    // Lets the io thread finish what it has queued, then joins it. Idempotent;
    // call from any thread but the io thread.
    void join();

    template <typename F>
    auto call(F&& fn) -> std::invoke_result_t<F&> {
        using R = std::invoke_result_t<F&>;
        if (on_thread()) return fn();
        // Held while waiting, so join() cannot end the thread before the task
        // has run; the io thread itself never takes this lock.
        std::unique_lock<std::mutex> lock(join_mutex_);
        if (joined_) {
            lock.unlock();
            return fn();
        }
        std::packaged_task<R()> task(std::ref(fn));
        auto result = task.get_future();
        boost::asio::post(io_, [&task] { task(); });
        return result.get();
    }

private:
    boost::asio::io_context io_;
    boost::asio::executor_work_guard<boost::asio::io_context::executor_type> work_;
    std::atomic<std::thread::id> thread_id_{};
    std::mutex join_mutex_;
    bool joined_ = false;  // guarded by join_mutex_
    std::thread thread_;
};

}  // namespace printer_sim::detail
