// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "control_job.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>

#include "exit_codes.h"
#include "json_text.h"
#include "labels.h"

namespace monitor {
namespace {

ControlJob::Clock::time_point after(ControlJob::Clock::time_point now, double seconds) {
    return now + std::chrono::duration_cast<ControlJob::Clock::duration>(std::chrono::duration<double>(seconds));
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

std::string print_file(const MachineStatus& s) {
    return s.print_stats.filename.empty() ? s.virtual_sdcard.file_path : s.print_stats.filename;
}

std::string quoted(const std::string& name) { return "\"" + name + "\""; }

bool has_print(const MachineStatus& s) {
    return s.print_state == pemra::print_state::printing || s.print_state == pemra::print_state::paused;
}

// The file list's root holds the file; a name in a folder is not listed
// there, so it is left to the printer to find.
bool lists_file(const Json& reply, const std::string& name) {
    if (!reply.is_object() || !reply.contains("result") || !reply["result"].is_object()) return true;
    const Json& result = reply["result"];
    if (!result.contains("files") || !result["files"].is_array()) return true;
    if (name.find('/') != std::string::npos) return true;
    for (const Json& file : result["files"]) {
        if (file.is_object() && (file.value("filename", std::string()) == name || file.value("path", std::string()) == name)) {
            return true;
        }
    }
    return false;
}

// A firmware that is shut down or halted still takes the commands that
// bring it back or report on it; anything else it refuses with its shutdown
// text, which the plug-in does not pass on.
bool runs_while_down(const std::string& script) {
    static const char* const kAllowed[] = {"FIRMWARE_RESTART", "RESTART", "M112", "STATUS", "HELP"};
    bool any = false;
    std::size_t start = 0;
    while (start <= script.size()) {
        const auto end = std::min(script.find('\n', start), script.size());
        const std::string line = script.substr(start, end - start);
        start = end + 1;
        const auto first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == ';' || line[first] == '#') continue;
        std::string word = line.substr(first, line.find_first_of(" \t\r", first) - first);
        for (char& ch : word) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        if (std::none_of(std::begin(kAllowed), std::end(kAllowed), [&](const char* a) { return word == a; })) {
            return false;
        }
        any = true;
    }
    return any;
}

}  // namespace

int exit_code_of(Outcome outcome) {
    switch (outcome) {
        case Outcome::pending:
        case Outcome::done: return exit_code::ok;
        case Outcome::unreachable: return exit_code::unreachable;
        case Outcome::timeout: return exit_code::timeout;
        case Outcome::refused: return exit_code::refused;
    }
    return exit_code::failed;
}

const char* outcome_name(Outcome outcome) {
    switch (outcome) {
        case Outcome::pending: return "pending";
        case Outcome::done: return "done";
        case Outcome::unreachable: return "unreachable";
        case Outcome::timeout: return "timeout";
        case Outcome::refused: return "refused";
    }
    return "?";
}

ControlJob::ControlJob(const Options& options, PrinterTarget target, Clock::time_point now)
    : options_(options), target_(std::move(target)), deadline_(after(now, options.connect_timeout)) {}

void ControlJob::finish(Outcome outcome, std::string message) {
    if (finished()) return;
    outcome_ = outcome;
    message_ = std::move(message);
}

ControlJob::Action ControlJob::on_event(const Event& event) {
    if (finished()) return Action::none;
    switch (event.kind) {
        case EventKind::status: return on_status(event.status);
        case EventKind::error:
            if (is_refusal(event.text)) {
                finish(Outcome::unreachable, "refused this host: " + event.text);
            } else if (phase_ == Phase::requested) {
                finish(Outcome::refused, "refused: " + event.text);
            }
            return Action::none;
        case EventKind::file_list:
            if (phase_ == Phase::listing) return on_file_list(event.text);
            return Action::none;
        case EventKind::history:
            if (phase_ == Phase::requested && options_.command == Command::gcode) {
                const Json reply = reply_payload(event.text);
                if (reply.is_object() && reply.contains("error")) {
                    const Json& error = reply["error"];
                    finish(Outcome::refused, "refused: " + (error.is_object() ? error.value("message", std::string("?"))
                                                                              : dump(error)));
                } else if (reply.is_object() && reply.contains("result")) {
                    finish(Outcome::done, "script accepted");
                }
            }
            return Action::none;
        default: return Action::none;
    }
}

ControlJob::Action ControlJob::on_status(const MachineStatus& s) {
    if (s.connect_state == pemra::connect_state::closed) {
        finish(Outcome::unreachable, phase_ == Phase::connecting ? "cannot reach " + target_.address
                                                                 : "lost the connection to " + target_.address);
        return Action::none;
    }
    if (s.connect_state == pemra::connect_state::open) last_state_ = print_label(s).text;
    switch (phase_) {
        case Phase::connecting:
            trouble_ = firmware_trouble(s);
            return when_up(s);
        case Phase::listing: return Action::none;
        case Phase::requested:
            if (shows_result(s)) {
                switch (options_.command) {
                    case Command::print: finish(Outcome::done, "printing " + quoted(options_.file)); break;
                    case Command::pause: finish(Outcome::done, "paused"); break;
                    case Command::resume: finish(Outcome::done, "printing again"); break;
                    case Command::cancel: finish(Outcome::done, "cancelled"); break;
                    case Command::estop: finish(Outcome::done, "firmware shut down"); break;
                    default: break;
                }
            }
            return Action::none;
    }
    return Action::none;
}

// Whether the command can act on the printer as it is, decided on the
// first status that tells; a printer not yet that far is waited for.
ControlJob::Action ControlJob::when_up(const MachineStatus& s) {
    if (s.connect_state != pemra::connect_state::open) return Action::none;
    // An emergency stop waits for nothing it does not need.
    if (options_.command == Command::estop) return Action::send_request;
    if (!is_up(s) || s.klippy_state == pemra::klippy_state::unknown) return Action::none;
    if (options_.command == Command::gcode && s.klippy_state == pemra::klippy_state::shutdown &&
        runs_while_down(options_.script)) {
        return Action::send_request;
    }
    // A firmware that is not running may be starting (after a restart, say):
    // it is waited for like a printer still connecting.
    if (s.klippy_state == pemra::klippy_state::disconnected) return Action::none;
    if (s.klippy_state != pemra::klippy_state::ready) {
        finish(Outcome::refused, "refused: " + (trouble_.empty() ? "its firmware is not ready" : trouble_));
        return Action::none;
    }
    if (options_.command == Command::gcode) return Action::send_request;
    if (s.print_state == pemra::print_state::unknown) return Action::none;

    const std::string state = print_label(s).text;
    switch (options_.command) {
        case Command::print:
            if (has_print(s)) {
                finish(Outcome::refused, "refused: busy, " + state + " " + quoted(print_file(s)));
                return Action::none;
            }
            return Action::ask_file_list;
        case Command::pause:
            if (s.print_state == pemra::print_state::paused) {
                finish(Outcome::done, "paused (it already was)");
                return Action::none;
            }
            if (s.print_state != pemra::print_state::printing) {
                finish(Outcome::refused, "refused: not printing (" + state + ")");
                return Action::none;
            }
            return Action::send_request;
        case Command::resume:
            if (s.print_state == pemra::print_state::printing) {
                finish(Outcome::done, "printing (it already was)");
                return Action::none;
            }
            if (s.print_state != pemra::print_state::paused) {
                finish(Outcome::refused, "refused: not paused (" + state + ")");
                return Action::none;
            }
            return Action::send_request;
        case Command::cancel:
            if (!has_print(s)) {
                finish(Outcome::refused, "refused: no print to cancel (" + state + ")");
                return Action::none;
            }
            return Action::send_request;
        default: return Action::none;
    }
}

ControlJob::Action ControlJob::on_file_list(const std::string& reply) {
    if (!lists_file(reply_payload(reply), options_.file)) {
        finish(Outcome::refused, "refused: no file " + quoted(options_.file) + " on the printer");
        return Action::none;
    }
    return Action::send_request;
}

bool ControlJob::shows_result(const MachineStatus& s) const {
    if (s.connect_state != pemra::connect_state::open) return false;
    switch (options_.command) {
        case Command::print: return s.print_state == pemra::print_state::printing && print_file(s) == options_.file;
        case Command::pause: return s.print_state == pemra::print_state::paused;
        case Command::resume: return s.print_state == pemra::print_state::printing;
        case Command::cancel: return s.print_state == pemra::print_state::cancelled;
        case Command::estop: return s.klippy_state == pemra::klippy_state::shutdown;
        default: return false;
    }
}

void ControlJob::sent(Action action, Clock::time_point now) {
    phase_ = action == Action::ask_file_list ? Phase::listing : Phase::requested;
    deadline_ = after(now, options_.timeout);
}

void ControlJob::on_time(Clock::time_point now) {
    if (finished() || now < deadline_) return;
    switch (phase_) {
        case Phase::connecting:
            finish(Outcome::timeout, "did not come up within " + seconds_text(options_.connect_timeout) +
                                         (trouble_.empty() ? "" : ": " + trouble_));
            break;
        case Phase::listing:
            finish(Outcome::timeout, "no file list within " + seconds_text(options_.timeout));
            break;
        case Phase::requested:
            if (options_.command == Command::gcode) {
                finish(Outcome::timeout, "no answer within " + seconds_text(options_.timeout) +
                                             " (a refusal the plug-in does not report ends here too; its log says why)");
            } else {
                finish(Outcome::timeout, "no result within " + seconds_text(options_.timeout) +
                                             (last_state_.empty() ? "" : " (still " + last_state_ + ")"));
            }
            break;
    }
}

}  // namespace monitor
