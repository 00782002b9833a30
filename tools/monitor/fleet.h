// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// What the live view knows about each watched printer, folded from the
// events, and which of those events a person would want to be told about.

#include <chrono>
#include <string>
#include <vector>

#include "event.h"
#include "labels.h"
#include "options.h"

namespace monitor {

struct PrinterRow {
    PrinterTarget target;
    bool have_status = false;
    MachineStatus status;
    std::string notice;  // the last error notice
    std::chrono::system_clock::time_point notice_time;
    std::string last_job;  // "completed 0:20"
};

struct Happening {
    std::chrono::system_clock::time_point time;
    std::string device_id;
    std::string text;
    Tone tone = Tone::plain;
};

// Enough history to hold the last finished job when the newest one is still
// in progress.
inline constexpr int kLastJobsPage = 3;

class Fleet {
public:
    explicit Fleet(const std::vector<PrinterTarget>& printers);

    struct Outcome {
        std::vector<Happening> happenings;
        // The printer just came up or its history changed: time to fetch
        // its latest jobs (kLastJobsPage of them).
        bool wants_last_job = false;
    };
    Outcome apply(const Event& event);

    const std::vector<PrinterRow>& rows() const { return rows_; }

private:
    PrinterRow* find(const std::string& id);
    void apply_status(PrinterRow& row, const Event& event, Outcome& out);
    void apply_history(PrinterRow& row, const Event& event, Outcome& out);

    std::vector<PrinterRow> rows_;
};

}  // namespace monitor
