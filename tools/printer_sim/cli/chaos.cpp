// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "chaos.h"

#include <cstdio>
#include <exception>
#include <random>

namespace printer_sim::cli {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kTick{100};

// The requests a host makes of its own accord; the status subscription is
// left alone, so a printer's frames keep flowing while its host's requests fail.
constexpr const char* kHostMethods[] = {"server.files.list", "server.files.get_directory", "server.files.metadata",
                                        "server.history.list"};

std::string deeply_nested_frame() {
    std::string frame = R"({"jsonrpc":"2.0","method":"notify_status_update","params":[)";
    frame.append(100, '[');
    frame.append(100, ']');
    return frame + "]}";
}

}  // namespace

const char* fault_name(FaultKind kind) {
    switch (kind) {
        case FaultKind::drop: return "drop";
        case FaultKind::server_restart: return "server_restart";
        case FaultKind::no_pongs: return "no_pongs";
        case FaultKind::held_handshakes: return "held_handshakes";
        case FaultKind::refused: return "refused";
        case FaultKind::stalled: return "stalled";
        case FaultKind::error_replies: return "error_replies";
        case FaultKind::paused_status: return "paused_status";
        case FaultKind::silent: return "silent";
        case FaultKind::malformed_frames: return "malformed_frames";
        case FaultKind::count: break;
    }
    return "?";
}

Chaos::Chaos(PrinterGroup& group, ChaosSettings settings)
    : group_(group),
      settings_(settings),
      active_(group.size(), Active{FaultKind::count, {}}),
      thread_([this] { run(); }) {}

Chaos::~Chaos() {
    calm();
    thread_.join();
}

void Chaos::calm() {
    std::unique_lock<std::mutex> lock(mutex_);
    calm_wanted_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return calm_; });
}

std::array<std::uint64_t, static_cast<std::size_t>(FaultKind::count)> Chaos::counts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return counts_;
}

std::string Chaos::summary() const {
    const auto counted = counts();
    std::string text;
    for (std::size_t k = 0; k < counted.size(); ++k) {
        if (!text.empty()) text += ", ";
        text += fault_name(static_cast<FaultKind>(k));
        text += " " + std::to_string(counted[k]);
    }
    return text;
}

void Chaos::run() {
    std::mt19937_64 random(settings_.seed);
    const int printers = static_cast<int>(group_.size());
    // Faults begun per tick, so that each printer meets one per mean interval.
    std::poisson_distribution<int> new_faults(static_cast<double>(printers) * static_cast<double>(kTick.count()) /
                                              static_cast<double>(std::max<std::int64_t>(1, settings_.mean_interval.count())));
    std::uniform_int_distribution<int> any_printer(0, printers - 1);
    std::uniform_int_distribution<int> any_kind(0, static_cast<int>(FaultKind::count) - 1);
    std::uniform_int_distribution<std::int64_t> lasting(settings_.shortest.count(),
                                                        std::max(settings_.shortest.count(), settings_.longest.count()));
    auto next = Clock::now();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            next += kTick;
            if (changed_.wait_until(lock, next, [this] { return calm_wanted_; })) break;
        }
        // A fault that cannot be applied (a printer that failed to listen
        // again) is reported and the run goes on: the client sees it anyway.
        try {
            const auto now = Clock::now();
            for (int i = 0; i < printers; ++i) {
                const Active& fault = active_[static_cast<std::size_t>(i)];
                if (fault.kind != FaultKind::count && fault.until <= now) end(i, fault.kind);
            }
            for (int n = new_faults(random); n > 0; --n) {
                const int printer = any_printer(random);
                if (active_[static_cast<std::size_t>(printer)].kind != FaultKind::count) continue;
                const auto kind = static_cast<FaultKind>(any_kind(random));
                active_[static_cast<std::size_t>(printer)] = Active{kind, now + milliseconds(lasting(random))};
                begin(printer, kind);
            }
        } catch (const std::exception& error) {
            std::fprintf(stderr, "chaos: %s\n", error.what());
        }
    }
    for (int i = 0; i < printers; ++i) {
        const FaultKind kind = active_[static_cast<std::size_t>(i)].kind;
        if (kind != FaultKind::count) end(i, kind);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    calm_ = true;
    changed_.notify_all();
}

void Chaos::begin(int printer, FaultKind kind) {
    Printer& p = group_.at(static_cast<std::size_t>(printer));
    bool lasts = true;
    switch (kind) {
        case FaultKind::drop:
            p.drop_connections();
            lasts = false;
            break;
        case FaultKind::server_restart: {
            // Down for part of the fault's time; the printer comes back by
            // itself, and no other fault touches it until the time is over.
            const auto length = active_[static_cast<std::size_t>(printer)].until - Clock::now();
            p.restart_server(std::chrono::duration_cast<milliseconds>(length) / 2);
            break;
        }
        case FaultKind::no_pongs: p.withhold_pongs(true); break;
        case FaultKind::held_handshakes:
            p.hold_handshakes(true);
            p.drop_connections();
            break;
        case FaultKind::refused:
            p.refuse_connections(true);
            p.drop_connections();
            break;
        case FaultKind::stalled:
            p.stall_handshakes(true);
            p.drop_connections();
            break;
        case FaultKind::error_replies: {
            int which = 0;
            for (const char* method : kHostMethods) {
                MethodFault fault;
                if (which++ % 2 == 0) {
                    fault.error_code = 500;
                    fault.error_message = "Internal Server Error";
                } else {
                    fault.drop = true;
                }
                p.set_method_fault(method, fault);
            }
            break;
        }
        case FaultKind::paused_status: p.pause_status_updates(true); break;
        case FaultKind::silent: p.go_silent(true); break;
        case FaultKind::malformed_frames:
            p.send_text(R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"heater_bed":{"target":)");
            p.send_text(R"({"jsonrpc":"2.0","method":"notify_status_update","params":[{"heater_bed":{"target":"hot"}},1.5]})");
            p.send_text(deeply_nested_frame());
            lasts = false;
            break;
        case FaultKind::count: return;
    }
    if (!lasts) active_[static_cast<std::size_t>(printer)].kind = FaultKind::count;
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[static_cast<std::size_t>(kind)];
}

void Chaos::end(int printer, FaultKind kind) {
    active_[static_cast<std::size_t>(printer)].kind = FaultKind::count;
    Printer& p = group_.at(static_cast<std::size_t>(printer));
    switch (kind) {
        case FaultKind::no_pongs: p.withhold_pongs(false); break;
        case FaultKind::held_handshakes: p.hold_handshakes(false); break;
        case FaultKind::refused: p.refuse_connections(false); break;
        case FaultKind::stalled: p.stall_handshakes(false); break;
        case FaultKind::error_replies: p.clear_method_faults(); break;
        case FaultKind::paused_status: p.pause_status_updates(false); break;
        case FaultKind::silent: p.go_silent(false); break;
        case FaultKind::drop:
        case FaultKind::server_restart:
        case FaultKind::malformed_frames:
        case FaultKind::count: break;
    }
}

}  // namespace printer_sim::cli
