// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// Ctrl-C and SIGTERM end the program the orderly way (disconnect, destroy
// the agent), which a signal handler cannot do itself: it may not call into
// the plug-in. So the handler only raises a flag and wakes the main thread.

namespace monitor {

// While it lives, SIGINT and SIGTERM raise the flag and write a byte to
// wake_fd. It also ignores SIGPIPE, so that a reader that went away shows up
// as a write error we can end on cleanly instead of killing the process with
// the agent still running.
class StopSignals {
public:
    explicit StopSignals(int wake_fd);
    ~StopSignals();  // the flag keeps working; only the descriptor is let go
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;
};

bool stop_requested();

}  // namespace monitor
