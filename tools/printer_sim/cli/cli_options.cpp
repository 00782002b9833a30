// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "cli_options.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

namespace printer_sim::cli {
namespace {

double parse_number(const std::string& option, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value)) {
        throw std::invalid_argument(option + ": not a number: '" + text + "'");
    }
    return value;
}

long parse_integer(const std::string& option, const std::string& text, long min, long max) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < min || value > max) {
        throw std::invalid_argument(option + ": expected a whole number from " + std::to_string(min) + " to " +
                                    std::to_string(max) + ", got '" + text + "'");
    }
    return value;
}

std::pair<std::string, std::string> split_pair(const std::string& option, const std::string& text, char sep) {
    const auto at = text.find(sep);
    if (at == std::string::npos || at == 0) {
        throw std::invalid_argument(option + ": expected METHOD" + std::string(1, sep) + "VALUE, got '" + text + "'");
    }
    return {text.substr(0, at), text.substr(at + 1)};
}

std::vector<std::uint16_t> parse_ports(const std::string& option, const std::string& text) {
    std::vector<std::uint16_t> ports;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        const std::string one = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        ports.push_back(static_cast<std::uint16_t>(parse_integer(option, one, 1, 65535)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    if (ports.size() > 5000) throw std::invalid_argument(option + ": at most 5000 printers");
    return ports;
}

}  // namespace

std::string usage() {
    return R"(Usage: pemra-printer-sim [options]

Serves simulated Klipper printers behind a WebSocket JSON-RPC API server at
ws://ADDRESS:PORT/websocket, one printer per port, until SIGINT or SIGTERM.

Printers
  --port P               first port (default 7125); printer i listens on P + i;
                         0 lets the system choose every printer's port
  --ports P,P,...        one printer on each of these ports, in order (instead
                         of --port and --count)
  --ports-file FILE      once all printers listen, write their addresses
                         (HOST:PORT, one per line, in order) to FILE
  --count N              number of printers, 1 to 5000 (default 1)
  --bind ADDRESS         listening address (default 127.0.0.1)
  --hostname NAME        printer.info hostname; "{n}" becomes the printer's
                         number from 1 (default printer-sim, or printer-sim-{n}
                         with more than one printer)
  --cpu-info TEXT        printer.info cpu_info (default "4 core ARM Cortex-A53")
  --software-version V   printer.info software_version
  --kinematics K         cartesian (default), corexy or delta
  --klippy-state S       Klippy state at start: ready (default), startup,
                         shutdown, error (halted) or disconnected (no Klippy:
                         requests to it get 503 "Klippy Host not connected")
  --interval MS          notify_status_update interval (default 250)
  --stats-interval MS    interval of mcu/system stats and notify_proc_stat_update
                         (default 1000)
  --speed X              speeds up restart, filament macros and heating by X
                         (default 1)

Printing
  --printing K           K printers print all the time (a count, or a share such
                         as 25%); each starts again a second after it completes
  --print-file NAME      file they print (default the printer's first file)
  --add-file NAME        one more file on every printer, a copy of the first
                         under this name (spaces, quotes, any UTF-8); repeatable
  --print-duration SEC   wall-clock length of one print (default: the file's
                         estimated time / speed)
  --stamp-send-time      put the sender's wall-clock time (seconds since the
                         epoch, microsecond resolution) into
                         toolhead.estimated_print_time of every status frame
  --number-frames        put -N into toolhead.estimated_print_time of the
                         printer's Nth status frame, to count lost frames

Object list
  --without-object NAME  leave NAME out of printer.objects.list (repeatable)
  --add-object NAME      add NAME to the list (repeatable; any text)
  --empty-objects        report an empty object list

Faults
  --refuse               do not listen at all (connections are refused)
  --stall-handshake      accept TCP connections, never answer the handshake
  --no-pongs             do not answer WebSocket pings
  --unauthorized         answer every request with -32602 "Unauthorized"
  --no-status-updates    send no notify_status_update
  --no-proc-stats        send no notify_proc_stat_update
  --method-delay M=MS    answer method M MS milliseconds late (repeatable)
  --method-drop M        never answer method M (repeatable)
  --method-error M=C:TEXT  answer method M with error code C and message TEXT
  --chaos SEC            random faults: each printer meets one every SEC
                         seconds on average (drops, server restarts, withheld
                         pongs, held, refused and stalled handshakes, error
                         replies, paused status, silence, malformed frames),
                         each lasting 1 to 20 s; SIGUSR1 ends them all
  --chaos-seed N         the faults' random seed (default 1)

Output
  --quiet                print nothing but errors
  --verbose              one line per printer even for large farms
  --help                 this text
)";
}

CliOptions parse_command_line(int argc, const char* const* argv) {
    CliOptions o;
    bool hostname_given = false;
    bool count_given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(arg + ": needs a value");
            return argv[++i];
        };
        if (arg == "--help" || arg == "-h") {
            o.help = true;
        } else if (arg == "--port") {
            o.first_port = static_cast<std::uint16_t>(parse_integer(arg, value(), 0, 65535));
        } else if (arg == "--count") {
            o.count = static_cast<int>(parse_integer(arg, value(), 1, 5000));
            count_given = true;
        } else if (arg == "--ports") {
            o.ports = parse_ports(arg, value());
        } else if (arg == "--bind") {
            o.printer.bind_address = value();
        } else if (arg == "--hostname") {
            o.printer.hostname = value();
            hostname_given = true;
        } else if (arg == "--cpu-info") {
            o.printer.cpu_info = value();
        } else if (arg == "--software-version") {
            o.printer.software_version = value();
        } else if (arg == "--kinematics") {
            const std::string k = value();
            if (k == "cartesian") {
                o.printer.kinematics = Kinematics::cartesian;
            } else if (k == "corexy") {
                o.printer.kinematics = Kinematics::corexy;
            } else if (k == "delta") {
                o.printer.kinematics = Kinematics::delta;
            } else {
                throw std::invalid_argument("--kinematics: expected cartesian, corexy or delta, got '" + k + "'");
            }
        } else if (arg == "--klippy-state") {
            const std::string s = value();
            if (s != "ready" && s != "startup" && s != "shutdown" && s != "error" && s != "disconnected") {
                throw std::invalid_argument("--klippy-state: expected ready, startup, shutdown, error or disconnected");
            }
            o.printer.klippy_state = s;
        } else if (arg == "--interval") {
            o.printer.update_interval = std::chrono::milliseconds(parse_integer(arg, value(), 1, 3600000));
        } else if (arg == "--stats-interval") {
            o.printer.stats_interval = std::chrono::milliseconds(parse_integer(arg, value(), 1, 3600000));
        } else if (arg == "--speed") {
            o.printer.speed = parse_number(arg, value());
            if (o.printer.speed <= 0) throw std::invalid_argument("--speed: must be above 0");
        } else if (arg == "--printing") {
            std::string text = value();
            if (!text.empty() && text.back() == '%') {
                o.printing_percent = true;
                text.pop_back();
            }
            o.printing = parse_number(arg, text);
            if (o.printing < 0) throw std::invalid_argument("--printing: must not be negative");
        } else if (arg == "--print-file") {
            o.print_file = value();
        } else if (arg == "--add-file") {
            const std::string name = value();
            if (name.empty() || name.find('/') != std::string::npos) {
                throw std::invalid_argument("--add-file: a file name without '/', not '" + name + "'");
            }
            if (o.printer.files.empty()) throw std::invalid_argument("--add-file: the printer has no file to copy");
            GcodeFile file = o.printer.files.front();
            file.filename = name;
            o.printer.files.push_back(std::move(file));
        } else if (arg == "--print-duration") {
            const double seconds = parse_number(arg, value());
            if (seconds <= 0) throw std::invalid_argument("--print-duration: must be above 0");
            o.printer.print_duration = std::chrono::milliseconds(static_cast<std::int64_t>(seconds * 1000));
        } else if (arg == "--number-frames") {
            o.printer.number_frames = true;
        } else if (arg == "--chaos") {
            o.chaos_s = parse_number(arg, value());
            if (o.chaos_s < 0) throw std::invalid_argument("--chaos: must not be negative");
        } else if (arg == "--chaos-seed") {
            o.chaos_seed = static_cast<std::uint64_t>(parse_integer(arg, value(), 0, 2147483647L));
        } else if (arg == "--stamp-send-time") {
            o.printer.stamp_send_time = true;
        } else if (arg == "--without-object") {
            const std::string name = value();
            auto& list = o.printer.objects;
            list.erase(std::remove(list.begin(), list.end(), name), list.end());
        } else if (arg == "--add-object") {
            o.printer.objects.push_back(value());
        } else if (arg == "--empty-objects") {
            o.printer.objects.clear();
        } else if (arg == "--refuse") {
            o.refuse = true;
        } else if (arg == "--stall-handshake") {
            o.stall_handshake = true;
        } else if (arg == "--no-pongs") {
            o.no_pongs = true;
        } else if (arg == "--unauthorized") {
            o.unauthorized = true;
        } else if (arg == "--no-status-updates") {
            o.no_status_updates = true;
        } else if (arg == "--no-proc-stats") {
            o.no_proc_stats = true;
        } else if (arg == "--method-delay") {
            auto [method, ms] = split_pair(arg, value(), '=');
            o.method_faults[method].delay = std::chrono::milliseconds(parse_integer(arg, ms, 0, 3600000));
        } else if (arg == "--method-drop") {
            o.method_faults[value()].drop = true;
        } else if (arg == "--method-error") {
            auto [method, rest] = split_pair(arg, value(), '=');
            auto [code, message] = split_pair(arg, rest, ':');
            MethodFault& fault = o.method_faults[method];
            fault.error_code = static_cast<int>(parse_integer(arg, code, -2147483647L, 2147483647L));
            fault.error_message = message;
        } else if (arg == "--ports-file") {
            o.ports_file = value();
        } else if (arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--verbose") {
            o.verbose = true;
        } else {
            throw std::invalid_argument("unknown option '" + arg + "' (see --help)");
        }
    }
    if (!o.ports.empty()) {
        if (count_given) throw std::invalid_argument("--ports gives the count; leave out --count");
        o.count = static_cast<int>(o.ports.size());
    }
    if (!hostname_given && o.count > 1) o.printer.hostname = "printer-sim-{n}";
    if (o.first_port != 0 && static_cast<long>(o.first_port) + o.count - 1 > 65535) {
        throw std::invalid_argument("--port/--count: the last port would be above 65535");
    }
    return o;
}

std::uint16_t port_for(const CliOptions& options, int index) {
    if (!options.ports.empty()) return options.ports.at(static_cast<std::size_t>(index));
    return options.first_port == 0 ? 0 : static_cast<std::uint16_t>(options.first_port + index);
}

int printing_count(const CliOptions& options) {
    const double wanted = options.printing_percent ? options.count * options.printing / 100.0 : options.printing;
    return std::clamp(static_cast<int>(std::lround(wanted)), 0, options.count);
}

std::string hostname_for(const std::string& pattern, int index) {
    std::string name = pattern;
    const auto at = name.find("{n}");
    if (at != std::string::npos) name.replace(at, 3, std::to_string(index + 1));
    return name;
}

}  // namespace printer_sim::cli
