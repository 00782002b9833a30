// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "fleet.h"

#include "json_text.h"

namespace monitor {
namespace {

std::string print_file(const MachineStatus& s) {
    return s.print_stats.filename.empty() ? s.virtual_sdcard.file_path : s.print_stats.filename;
}

}  // namespace

Fleet::Fleet(const std::vector<PrinterTarget>& printers) {
    for (const auto& p : printers) rows_.push_back(PrinterRow{p, false, {}, {}, {}, {}});
}

PrinterRow* Fleet::find(const std::string& id) {
    for (auto& row : rows_) {
        if (row.target.id == id) return &row;
    }
    return nullptr;
}

Fleet::Outcome Fleet::apply(const Event& event) {
    Outcome out;
    PrinterRow* row = find(event.device_id);
    if (!row) return out;
    auto tell = [&](std::string text, Tone tone) {
        out.happenings.push_back(Happening{event.time, event.device_id, std::move(text), tone});
    };
    switch (event.kind) {
        case EventKind::status: apply_status(*row, event, out); break;
        case EventKind::history: apply_history(*row, event, out); break;
        case EventKind::error:
            row->notice = is_refusal(event.text) ? "refused: " + event.text : event.text;
            row->notice_time = event.time;
            tell(is_refusal(event.text) ? "refused this host: " + event.text : "notice: " + event.text, Tone::bad);
            break;
        case EventKind::file_changed: tell("files changed", Tone::plain); break;
        case EventKind::history_changed:
            tell("history changed", Tone::plain);
            out.wants_last_job = true;
            break;
        case EventKind::file_list:
        case EventKind::file_meta: break;
    }
    return out;
}

void Fleet::apply_status(PrinterRow& row, const Event& event, Outcome& out) {
    const MachineStatus& now = event.status;
    const bool first = !row.have_status;
    const MachineStatus before = row.status;
    row.status = now;
    row.have_status = true;
    auto tell = [&](std::string text, Tone tone) {
        out.happenings.push_back(Happening{event.time, event.device_id, std::move(text), tone});
    };

    const Label link = link_label(now);
    if (first || link.text != link_label(before).text) {
        if (link.text == "offline") {
            tell("offline: cannot reach " + row.target.address, Tone::bad);
        } else if (link.text != "connecting") {
            tell(link.text, link.tone);
        }
    }
    if (is_up(now) && (first || !is_up(before))) out.wants_last_job = true;
    if (now.connect_state != pemra::connect_state::open) return;

    const Label firmware = firmware_label(now);
    if (!first && before.connect_state == pemra::connect_state::open && firmware.text != firmware_label(before).text) {
        tell("firmware " + firmware.text, firmware.tone);
    }
    if (first || now.print_state != before.print_state) {
        const std::string file = print_file(now);
        switch (now.print_state) {
            case 2: tell("printing " + file, Tone::busy); break;
            case 3: tell("paused", Tone::warn); break;
            case 4:
                if (!first) tell("print complete: " + file, Tone::good);
                break;
            case 5:
                if (!first) tell("print cancelled: " + file, Tone::warn);
                break;
            case 6:
                tell("print error: " + (now.print_stats.message.empty() ? file : now.print_stats.message), Tone::bad);
                break;
            default: break;
        }
    }
}

void Fleet::apply_history(PrinterRow& row, const Event& event, Outcome& out) {
    const Json reply = reply_payload(event.text);
    const Json* jobs = nullptr;
    if (reply.is_object() && reply.contains("result") && reply["result"].is_object() &&
        reply["result"].contains("jobs") && reply["result"]["jobs"].is_array()) {
        jobs = &reply["result"]["jobs"];
    }
    if (!jobs) return;
    // The newest entry is often the job still printing; the last finished
    // one is what "last job" means to a person.
    const Json* finished = nullptr;
    for (const Json& job : *jobs) {
        if (job.is_object() && job.value("status", std::string()) != "in_progress") {
            finished = &job;
            break;
        }
    }
    if (!finished) return;
    const Json& job = *finished;
    const std::string status = job.value("status", std::string("?"));
    const std::string file = job.value("filename", std::string());
    double seconds = 0;
    if (auto it = job.find("print_duration"); it != job.end() && it->is_number()) seconds = it->get<double>();
    const std::string summary = status + " " + duration_text(seconds);
    if (summary == row.last_job) return;
    row.last_job = summary;
    out.happenings.push_back(Happening{event.time, event.device_id, "last job: " + file + " " + summary,
                                       status == "completed" ? Tone::good : Tone::plain});
}

}  // namespace monitor
