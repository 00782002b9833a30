// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// One host callback slot. The host may replace the callable at any time, also
// while the network thread is calling it: a caller takes a shared copy of the
// current callable under the slot's lock and calls it with no lock held, so
// a replaced callable lives until its last call returns.

#include <memory>
#include <mutex>
#include <utility>

namespace pemra {

template <typename Fn>
class CallbackSlot {
public:
    void set(Fn fn) {
        std::shared_ptr<const Fn> next;
        if (fn) next = std::make_shared<const Fn>(std::move(fn));
        std::shared_ptr<const Fn> previous;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            previous = std::exchange(current_, std::move(next));
        }
        // `previous` is released here, outside the lock.
    }

    // Empty when no callable is set.
    std::shared_ptr<const Fn> get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return current_;
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const Fn> current_;  // guarded by mutex_
};

}  // namespace pemra
