// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "control.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "control_job.h"
#include "control_requests.h"
#include "event_queue.h"
#include "exit_codes.h"
#include "host.h"
#include "json_text.h"
#include "stop_signal.h"

namespace monitor {
namespace {

const char* command_word(Command command) {
    switch (command) {
        case Command::print: return "print";
        case Command::pause: return "pause";
        case Command::resume: return "resume";
        case Command::cancel: return "cancel";
        case Command::estop: return "estop";
        case Command::gcode: return "gcode";
        default: return "?";
    }
}

std::string result_line(const Options& o, const ControlJob& job) {
    if (!o.json) return job.target().id + ": " + job.message() + "\n";
    Json j = Json::object();
    j["event"] = "result";
    j["device_id"] = job.target().id;
    j["command"] = command_word(o.command);
    if (o.command == Command::print) j["file"] = o.file;
    j["outcome"] = outcome_name(job.outcome());
    j["exit_status"] = exit_code_of(job.outcome());
    j["message"] = job.message();
    // Whether the printer was asked at all: a refusal by its state, an
    // unreachable printer and a timeout while connecting never reach it.
    j["sent"] = job.requested();
    return dump(j) + "\n";
}

}  // namespace

int run_control(const Options& o, const PluginApi& api, Output& out) {
    using Clock = ControlJob::Clock;
    EventQueue queue;
    StopSignals signals(queue.wake_fd());
    const std::string request = control_request(o.command, o.file, o.script);

    std::vector<ControlJob> jobs;
    jobs.reserve(o.printers.size());
    std::unordered_map<std::string, std::size_t> by_id;
    for (const auto& printer : o.printers) {
        by_id.emplace(printer.id, jobs.size());
        jobs.emplace_back(o, printer, Clock::now());
    }

    Host host(api, o.log_dir, o.log_level, queue);
    host.start();
    for (const auto& printer : o.printers) host.connect(printer);

    int worst = exit_code::ok;
    std::size_t left = jobs.size();
    auto report_if_finished = [&](ControlJob& job, bool was_finished) {
        if (was_finished || !job.finished()) return;
        out.write(result_line(o, job));
        worst = std::max(worst, exit_code_of(job.outcome()));
        --left;
    };
    auto interrupted = [] {
        std::fprintf(stderr, "pemra-monitor: interrupted\n");
        return exit_code::interrupted;
    };

    while (left > 0) {
        if (stop_requested()) return interrupted();
        Clock::time_point next = Clock::time_point::max();
        for (const auto& job : jobs) {
            if (!job.finished()) next = std::min(next, job.deadline());
        }
        queue.wait(next);
        for (const Event& event : queue.take()) {
            const auto found = by_id.find(event.device_id);
            if (found == by_id.end()) continue;
            ControlJob& job = jobs[found->second];
            const bool was_finished = job.finished();
            const ControlJob::Action action = job.on_event(event);
            if (action != ControlJob::Action::none) {
                // The last look before anything goes out: after Ctrl-C no
                // printer gets a request, whatever is still queued.
                if (stop_requested()) return interrupted();
                if (action == ControlJob::Action::ask_file_list) {
                    host.request_file_list(job.target().id);
                } else {
                    host.send(job.target().id, request);
                }
                job.sent(action, Clock::now());
            }
            report_if_finished(job, was_finished);
        }
        const Clock::time_point now = Clock::now();
        for (auto& job : jobs) {
            const bool was_finished = job.finished();
            job.on_time(now);
            report_if_finished(job, was_finished);
        }
    }
    return worst;
}

}  // namespace monitor
