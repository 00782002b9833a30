// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "commands.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>

#include "event_queue.h"
#include "exit_codes.h"
#include "host.h"
#include "json_text.h"
#include "labels.h"
#include "reply_tables.h"
#include "stop_signal.h"

namespace monitor {
namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point after(double seconds) {
    return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

std::string seconds_text(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", seconds);
    return text;
}

void complain(const std::string& message) { std::fprintf(stderr, "pemra-monitor: %s\n", message.c_str()); }

struct Waited {
    std::optional<Event> event;  // empty: deadline passed or interrupted
    bool interrupted = false;
};

// Takes events of one printer until one matches; others are dropped, as a
// one-shot command has no use for them.
Waited wait_for(EventQueue& queue, const std::string& id, Clock::time_point deadline,
                const std::function<bool(const Event&)>& match) {
    for (;;) {
        for (Event& event : queue.take()) {
            if (event.device_id == id && match(event)) return Waited{std::move(event), false};
        }
        if (stop_requested()) return Waited{std::nullopt, true};
        if (Clock::now() >= deadline) return Waited{};
        queue.wait(deadline);
    }
}

// The reply text as the user asked for it: as sent with --json, else a
// table where there is one, else indented.
std::string shown_reply(const std::string& text, bool json, Command command = Command::send) {
    if (json) return text + "\n";
    const Json reply = reply_payload(text);
    std::optional<std::string> table;
    if (command == Command::files) table = files_table(reply);
    if (command == Command::history) table = history_table(reply);
    return table ? *table : dump(reply, 2) + "\n";
}

std::optional<EventKind> reply_kind(Command command) {
    switch (command) {
        case Command::files: return EventKind::file_list;
        case Command::meta: return EventKind::file_meta;
        case Command::history: return EventKind::history;
        case Command::remove: return EventKind::file_changed;
        default: return std::nullopt;
    }
}

bool is_routed_reply(EventKind kind) {
    return kind == EventKind::file_list || kind == EventKind::file_meta || kind == EventKind::history;
}

void ask(Host& host, const Options& o, const std::string& id) {
    switch (o.command) {
        case Command::files: host.request_file_list(id); break;
        case Command::meta: host.request_file_meta(id, o.file); break;
        case Command::history: host.request_history(id, o.history_start, o.history_limit, o.history_order); break;
        case Command::remove: host.delete_file(id, o.file); break;
        case Command::send: host.send(id, o.message); break;
        default: break;
    }
}

std::string no_reply_message(const Options& o, const PrinterTarget& p) {
    const std::string within = " within " + seconds_text(o.timeout);
    switch (o.command) {
        case Command::meta:
            return "no metadata from printer " + p.id + within + " (is \"" + o.file + "\" on the printer?)";
        case Command::remove:
            return "printer " + p.id + " reported no file change" + within + " (is \"" + o.file +
                   "\" on the printer?)";
        default:
            return "no reply from printer " + p.id + within + " (the printer may have refused the request; the "
                   "plug-in's log in " + o.log_dir + "/log says why)";
    }
}

int finish_send(const Options& o, const PrinterTarget& p, EventQueue& queue, Output& out) {
    const Waited answer = wait_for(queue, p.id, after(o.grace), [](const Event& e) {
        return e.kind == EventKind::error || is_routed_reply(e.kind);
    });
    if (answer.interrupted) return exit_code::interrupted;
    if (!answer.event) {
        if (o.json) {
            Json sent = Json::object();
            sent["event"] = "sent";
            sent["device_id"] = p.id;
            sent["message"] = reply_payload(o.message);
            out.write(dump(sent) + "\n");
        } else {
            out.write("sent to " + p.id + "; no error notice within " + seconds_text(o.grace) + "\n");
        }
        return exit_code::ok;
    }
    const Event& event = *answer.event;
    if (event.kind == EventKind::error) {
        out.write(o.json ? event_json_line(event) : p.id + ": " + event.text + "\n");
        return exit_code::refused;
    }
    out.write(shown_reply(event.text, o.json));
    return exit_code::ok;
}

}  // namespace

int run_command(const Options& o, const PluginApi& api, Output& out) {
    const PrinterTarget& printer = o.printers.front();
    EventQueue queue;
    StopSignals signals(queue.wake_fd());
    Host host(api, o.log_dir, o.log_level, queue);
    host.start();
    host.connect(printer);

    // The last status seen says why a printer that is connected is not up.
    std::string trouble;
    const Waited up = wait_for(queue, printer.id, after(o.connect_timeout), [&](const Event& e) {
        if (e.kind == EventKind::error) return is_refusal(e.text);
        if (e.kind != EventKind::status) return false;
        trouble = firmware_trouble(e.status);
        return e.status.connect_state == pemra::connect_state::closed || is_up(e.status);
    });
    if (up.interrupted) {
        complain("interrupted");
        return exit_code::interrupted;
    }
    if (!up.event) {
        complain("printer " + printer.id + " at " + printer.address + " did not come up within " +
                 seconds_text(o.connect_timeout) + (trouble.empty() ? "" : ": " + trouble));
        return exit_code::timeout;
    }
    if (up.event->kind == EventKind::error) {
        complain("printer " + printer.id + " at " + printer.address + " refused this host: " + up.event->text);
        return exit_code::unreachable;
    }
    if (up.event->status.connect_state == pemra::connect_state::closed) {
        complain("cannot reach printer " + printer.id + " at " + printer.address);
        return exit_code::unreachable;
    }

    ask(host, o, printer.id);
    if (o.command == Command::send) {
        const int code = finish_send(o, printer, queue, out);
        if (code == exit_code::interrupted) complain("interrupted");
        return code;
    }
    const EventKind wanted = *reply_kind(o.command);
    const Waited reply = wait_for(queue, printer.id, after(o.timeout), [&](const Event& e) {
        return e.kind == wanted || (e.kind == EventKind::status && e.status.connect_state == pemra::connect_state::closed);
    });
    if (reply.interrupted) {
        complain("interrupted");
        return exit_code::interrupted;
    }
    if (!reply.event) {
        complain(no_reply_message(o, printer));
        return exit_code::timeout;
    }
    if (reply.event->kind == EventKind::status) {
        complain("lost the connection to printer " + printer.id + " at " + printer.address);
        return exit_code::unreachable;
    }
    if (o.command == Command::remove) {
        if (o.json) {
            Json done = Json::object();
            done["event"] = "deleted";
            done["device_id"] = printer.id;
            done["file"] = o.file;
            out.write(dump(done) + "\n");
        } else {
            out.write("deleted \"" + o.file + "\" from " + printer.id + "\n");
        }
        return exit_code::ok;
    }
    out.write(shown_reply(reply.event->text, o.json, o.command));
    return exit_code::ok;
}

int run_check(const Options& o, const std::string& plugin_path, const PluginApi& api, Output& out) {
    const std::string version = api.pemra_network_get_version();
    {
        EventQueue queue;
        Host host(api, o.log_dir, o.log_level, queue);
        host.start();
        host.shut_down();
    }
    if (o.json) {
        Json report = Json::object();
        report["plugin"] = plugin_path;
        report["version"] = version;
        report["exports"] = kExportCount;
        out.write(dump(report) + "\n");
    } else {
        out.write("plug-in " + plugin_path + "\nversion " + version + "\n" + std::to_string(kExportCount) +
                  " exports resolved; an agent started and stopped\n");
    }
    return exit_code::ok;
}

}  // namespace monitor
