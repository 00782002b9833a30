// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "options.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>

#include <nlohmann/json.hpp>

#include "printers_file.h"

namespace monitor {
namespace {

struct CommandName {
    const char* word;
    Command command;
};
constexpr CommandName kCommands[] = {
    {"watch", Command::watch}, {"files", Command::files}, {"meta", Command::meta},
    {"history", Command::history}, {"delete", Command::remove}, {"send", Command::send},
    {"check", Command::check}, {"help", Command::help}, {"print", Command::print},
    {"pause", Command::pause}, {"resume", Command::resume}, {"cancel", Command::cancel},
    {"estop", Command::estop}, {"gcode", Command::gcode},
};

const char* command_word(Command command) {
    for (const auto& c : kCommands) {
        if (c.command == command) return c.word;
    }
    return "?";
}

double parse_seconds(const std::string& option, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value <= 0 || value > 1e7) {
        throw UsageError(option + " wants a positive number of seconds, not '" + text + "'");
    }
    return value;
}

int parse_int(const std::string& option, const std::string& text, long low, long high) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno != 0 || value < low || value > high) {
        throw UsageError(option + " wants a whole number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not '" + text + "'");
    }
    return static_cast<int>(value);
}

bool host_char(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == '_';
}

void check_address(const std::string& id, const std::string& address) {
    const std::string bad = "bad address '" + address + "' for printer " + id + ": ";
    std::string host;
    std::string port;
    if (!address.empty() && address.front() == '[') {
        const auto close = address.find(']');
        if (close == std::string::npos || close + 1 >= address.size() || address[close + 1] != ':') {
            throw UsageError(bad + "expected [IPv6]:PORT");
        }
        host = address.substr(1, close - 1);
        port = address.substr(close + 2);
        if (host.empty() || host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos) {
            throw UsageError(bad + "expected [IPv6]:PORT");
        }
    } else {
        const auto colon = address.rfind(':');
        if (colon == std::string::npos) throw UsageError(bad + "expected HOST:PORT");
        host = address.substr(0, colon);
        port = address.substr(colon + 1);
        if (host.empty()) throw UsageError(bad + "the host is missing");
        for (char c : host) {
            if (!host_char(c)) throw UsageError(bad + "expected HOST:PORT");
        }
    }
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos ||
        std::stol(port) < 1 || std::stol(port) > 65535) {
        throw UsageError(bad + "the port must be a number from 1 to 65535");
    }
}

std::size_t operands_of(Command command) {
    switch (command) {
        case Command::files:
        case Command::history: return 1;
        case Command::meta:
        case Command::remove:
        case Command::send: return 2;
        case Command::check:
        case Command::help: return 0;
        default: break;
    }
    return 0;
}

const char* operand_names(Command command) {
    switch (command) {
        case Command::files:
        case Command::history: return "ID=HOST:PORT";
        case Command::meta:
        case Command::remove: return "ID=HOST:PORT FILE";
        case Command::send: return "ID=HOST:PORT 'JSON-RPC text'";
        default: return "";
    }
}

// Options that only make sense for some commands: giving them elsewhere is
// almost always a mistake the user wants to hear about.
void check_applicable(const std::set<std::string>& given, Command command) {
    struct Rule {
        const char* option;
        bool (*applies)(Command);
    };
    static const Rule rules[] = {
        {"--start", [](Command c) { return c == Command::history; }},
        {"--limit", [](Command c) { return c == Command::history; }},
        {"--order", [](Command c) { return c == Command::history; }},
        {"--grace", [](Command c) { return c == Command::send; }},
        {"--duration", [](Command c) { return c == Command::watch; }},
        {"--demo", [](Command c) { return c == Command::watch; }},
        {"--printers", [](Command c) { return c == Command::watch || is_control(c); }},
        {"--timeout", [](Command c) { return c != Command::watch && c != Command::check; }},
        {"--connect-timeout", [](Command c) { return c != Command::watch && c != Command::check; }},
    };
    for (const auto& rule : rules) {
        if (given.count(rule.option) && !rule.applies(command)) {
            throw UsageError(std::string(rule.option) + " does not apply to " + command_word(command));
        }
    }
}

void add_printer(std::vector<PrinterTarget>& printers, PrinterTarget target, const std::string& where) {
    for (const auto& other : printers) {
        if (other.id == target.id) throw UsageError("printer id '" + target.id + "' is given twice" + where);
    }
    printers.push_back(std::move(target));
}

// TARGETS [FILE|SCRIPT]: every operand a printer, but the last one of print
// and gcode.
void parse_control(Options& o, const std::vector<std::string>& operands, std::size_t next,
                   const std::vector<std::string>& printers_files) {
    const bool has_argument = o.command == Command::print || o.command == Command::gcode;
    const std::string word = command_word(o.command);
    const std::string form = word + " ID=HOST:PORT... [--printers FILE]" +
                             (o.command == Command::print ? " FILE" : o.command == Command::gcode ? " 'SCRIPT'" : "");
    std::size_t end = operands.size();
    if (has_argument) {
        if (end <= next) throw UsageError("missing operand: usage is " + form);
        const std::string& argument = operands[--end];
        // "print a=h:1 b=h:2" forgot the file: the last printer is not
        // quietly taken for one.
        bool is_printer = true;
        try {
            parse_target(argument);
        } catch (const UsageError&) {
            is_printer = false;
        }
        if (is_printer) throw UsageError("missing operand: '" + argument + "' is a printer; usage is " + form);
        if (argument.empty()) throw UsageError(o.command == Command::print ? "the file name is empty" : "the script is empty");
        (o.command == Command::print ? o.file : o.script) = argument;
    }
    for (std::size_t i = next; i < end; ++i) add_printer(o.printers, parse_target(operands[i]), "");
    for (const auto& path : printers_files) {
        for (auto& target : read_printers_file(path)) add_printer(o.printers, std::move(target), " (in " + path + ")");
    }
    if (o.printers.empty()) throw UsageError("no printer given: usage is " + form);
}

}  // namespace

bool is_control(Command command) {
    switch (command) {
        case Command::print:
        case Command::pause:
        case Command::resume:
        case Command::cancel:
        case Command::estop:
        case Command::gcode: return true;
        default: return false;
    }
}

PrinterTarget parse_target(const std::string& text) {
    const auto eq = text.find('=');
    if (eq == std::string::npos) throw UsageError("'" + text + "' is not a printer: expected ID=HOST:PORT");
    PrinterTarget target{text.substr(0, eq), text.substr(eq + 1)};
    if (target.address.find('=') != std::string::npos) {
        throw UsageError("'" + text + "' has more than one '=': a printer id may not contain '='");
    }
    if (target.id.empty()) throw UsageError("printer id missing in '" + text + "': expected ID=HOST:PORT");
    for (char c : target.id) {
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) {
            throw UsageError("printer id '" + target.id + "' may not contain spaces or control characters");
        }
    }
    check_address(target.id, target.address);
    return target;
}

Options parse_options(const std::vector<std::string>& args) {
    Options o;
    std::vector<std::string> operands;
    std::set<std::string> given;
    std::vector<std::string> printers_files;
    bool options_done = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (options_done || arg.size() < 2 || arg[0] != '-') {
            operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            options_done = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            o.command = Command::help;
            return o;
        }
        std::string name = arg;
        std::string inline_value;
        bool has_inline = false;
        if (const auto eq = arg.find('='); arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            inline_value = arg.substr(eq + 1);
            has_inline = true;
        }
        auto value = [&]() -> std::string {
            if (has_inline) return inline_value;
            if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
            return args[++i];
        };
        auto flag = [&]() {
            if (has_inline) throw UsageError(name + " takes no value");
            return true;
        };
        given.insert(name);
        if (name == "--json") {
            o.json = flag();
        } else if (name == "--demo") {
            o.demo = flag();
        } else if (name == "--plugin") {
            o.plugin_path = value();
            if (o.plugin_path.empty()) throw UsageError("--plugin needs a path");
        } else if (name == "--plugin-stdout") {
            o.plugin_stdout = value();
        } else if (name == "--log-dir") {
            o.log_dir = value();
            if (o.log_dir.empty()) throw UsageError("--log-dir needs a folder");
        } else if (name == "--log-level") {
            o.log_level = parse_int(name, value(), 0, 5);
        } else if (name == "--duration") {
            o.duration = parse_seconds(name, value());
        } else if (name == "--timeout") {
            o.timeout = parse_seconds(name, value());
        } else if (name == "--connect-timeout") {
            o.connect_timeout = parse_seconds(name, value());
        } else if (name == "--grace") {
            o.grace = parse_seconds(name, value());
        } else if (name == "--printers") {
            printers_files.push_back(value());
            if (printers_files.back().empty()) throw UsageError("--printers needs a file (or - for standard input)");
        } else if (name == "--start") {
            o.history_start = parse_int(name, value(), 0, 2147483647);
        } else if (name == "--limit") {
            o.history_limit = parse_int(name, value(), 0, 2147483647);
        } else if (name == "--order") {
            o.history_order = value();
            if (o.history_order != "asc" && o.history_order != "desc") {
                throw UsageError("--order wants asc or desc, not '" + o.history_order + "'");
            }
        } else {
            throw UsageError("unknown option " + name);
        }
    }

    std::size_t next = 0;
    if (!operands.empty()) {
        bool named = false;
        for (const auto& c : kCommands) {
            if (operands[0] == c.word) {
                o.command = c.command;
                named = true;
            }
        }
        if (named) {
            next = 1;
        } else if (operands[0].find('=') == std::string::npos) {
            throw UsageError("unknown command '" + operands[0] + "'");
        }
    }
    if (o.command == Command::help) return o;
    check_applicable(given, o.command);

    if (o.command == Command::watch) {
        for (; next < operands.size(); ++next) add_printer(o.printers, parse_target(operands[next]), "");
        for (const auto& path : printers_files) {
            for (auto& target : read_printers_file(path)) add_printer(o.printers, std::move(target), " (in " + path + ")");
        }
        if (o.printers.empty()) o.demo = true;
        return o;
    }
    if (is_control(o.command)) {
        parse_control(o, operands, next, printers_files);
        return o;
    }

    const std::size_t wanted = operands_of(o.command);
    const std::size_t have = operands.size() - next;
    if (have != wanted) {
        const std::string form = std::string(command_word(o.command)) + " " + operand_names(o.command);
        if (wanted == 0) throw UsageError(std::string(command_word(o.command)) + " takes no operands");
        throw UsageError(std::string(have < wanted ? "missing operand" : "too many operands") + ": usage is " +
                         form);
    }
    if (wanted >= 1) o.printers.push_back(parse_target(operands[next]));
    if (o.command == Command::meta || o.command == Command::remove) {
        o.file = operands[next + 1];
        if (o.file.empty()) throw UsageError("the file name is empty");
    }
    if (o.command == Command::send) {
        o.message = operands[next + 1];
        if (!nlohmann::json::accept(o.message)) throw UsageError("the message to send is not valid JSON");
    }
    return o;
}

std::string default_log_dir() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/') {
        return std::string(cache) + "/pemra-monitor";
    }
    if (const char* home = std::getenv("HOME"); home && *home == '/') return std::string(home) + "/.cache/pemra-monitor";
    return "/tmp/pemra-monitor-" + std::to_string(getuid());
}

std::string usage() {
    return R"(pemra-monitor: watch and manage printers through the pemra_network plug-in

Usage:
  pemra-monitor [options] [--demo] [TARGETS]            live view of the printers
  pemra-monitor [options] print   TARGETS FILE          start a file already on the printers
  pemra-monitor [options] pause   TARGETS               pause the print
  pemra-monitor [options] resume  TARGETS               resume a paused print
  pemra-monitor [options] cancel  TARGETS               cancel the print
  pemra-monitor [options] estop   TARGETS               emergency stop (no questions asked)
  pemra-monitor [options] gcode   TARGETS 'SCRIPT'      run G-code (lines separated by newlines)
  pemra-monitor [options] files   ID=HOST:PORT          list the printer's G-code files
  pemra-monitor [options] meta    ID=HOST:PORT FILE     a file's slicer metadata
  pemra-monitor [options] history ID=HOST:PORT [--start N] [--limit N] [--order asc|desc]
  pemra-monitor [options] delete  ID=HOST:PORT FILE     delete a file from the printer
  pemra-monitor [options] send    ID=HOST:PORT 'JSON-RPC text'
  pemra-monitor check                                   load the plug-in and report its version

TARGETS is one or more ID=HOST:PORT and/or --printers FILE. ID is any name
you choose for the printer; it labels its row, its events and its result.
With no printer, two simulated printers are started in this process (one of
them printing) and watched: the demo.

A printers file holds one ID=HOST:PORT a line; blank lines and lines
starting with # are skipped. "--printers -" reads it from standard input.

print, pause, resume, cancel, estop and gcode act on exactly the printers
named, each as soon as it is up, and succeed for a printer only when its
status shows the result within --timeout: printing FILE, paused, printing
again, cancelled, firmware shut down; gcode when the printer accepts the
script (a refusal shows the printer's notice). One line per printer, or one
JSON object per printer with --json.

Options:
  --printers FILE     the printers in FILE ("-": standard input); may be
                      given more than once and with printers on the line
  --json              one JSON object per line: every event while watching,
                      the printer's reply text as is for a command, a result
                      per printer for print ... gcode
  --duration S        stop watching after S seconds (default: until Ctrl-C)
  --timeout S         how long a command waits for its reply or result (10)
  --connect-timeout S how long a command waits for the printer to come up (10)
  --grace S           how long send waits for an error notice (1)
  --start N --limit N --order asc|desc
                      the page of history to fetch (0, 50, desc)
  --plugin PATH       the plug-in library (default: next to this program, else
                      the one it was built with)
  --log-dir DIR       the plug-in writes its log under DIR/log
                      (default: ~/.cache/pemra-monitor)
  --log-level N       0 fatal only ... 3 info (default) ... 5 everything
  --plugin-stdout F   keep the plug-in's progress traces in file F (default:
                      discarded, so that this program's output stays clean)
  -h, --help          this text
  --                  ends the options (for a FILE that starts with -)

Exit status: 0 done (for every printer), 1 bad usage or input, 2 printer
unreachable, 3 no reply or result in time, 4 the printer refused (send,
print ... gcode), 5 plug-in missing or incomplete, 6 this program failed (out
of resources, say), 130 interrupted. When printers fail differently, the
highest of their codes.

Examples:
  pemra-monitor                                 the demo
  pemra-monitor shop=192.168.1.50:7125 desk=printer.local:7125
  pemra-monitor --printers farm.txt             farm.txt: "shop=192.168.1.50:7125" ...
  pemra-monitor print --printers farm.txt 'bracket v2.gcode'
  pemra-monitor pause shop=192.168.1.50:7125 desk=printer.local:7125
  pemra-monitor resume --printers farm.txt
  pemra-monitor cancel shop=192.168.1.50:7125
  pemra-monitor estop --printers farm.txt
  pemra-monitor gcode shop=192.168.1.50:7125 $'G28\nG1 Z10 F600'
  pemra-monitor --json shop=192.168.1.50:7125 | jq .status.print_stats
  pemra-monitor delete shop=192.168.1.50:7125 'old part.gcode'
  pemra-monitor send shop=192.168.1.50:7125 \
    '{"jsonrpc":"2.0","method":"printer.gcode.script","params":{"script":"G28"},"id":0}'
)";
}

}  // namespace monitor
