// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// pemra-monitor: a terminal host of the plug-in. It loads the library at run
// time exactly as the desktop host does, and shows or manages printers.

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "commands.h"
#include "control.h"
#include "exit_codes.h"
#include "options.h"
#include "output.h"
#include "plugin.h"
#include "watch.h"

namespace {

void complain(const std::string& message) { std::fprintf(stderr, "pemra-monitor: %s\n", message.c_str()); }

}  // namespace

int main(int argc, char** argv) {
    using namespace monitor;
    Options options;
    try {
        options = parse_options(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const UsageError& e) {
        complain(std::string(e.what()) + " (see --help)");
        return exit_code::usage;
    }

    try {
        Output out(options.plugin_stdout);
        if (options.command == Command::help) {
            out.write(usage());
            return exit_code::ok;
        }

        std::string path;
        PluginApi api;
        try {
            path = locate_plugin(options.plugin_path);
            api = load_plugin(path);
        } catch (const PluginError& e) {
            complain(e.what());
            return exit_code::plugin;
        }

        if (options.log_dir.empty()) options.log_dir = default_log_dir();

        switch (options.command) {
            case Command::watch: return run_watch(options, api, out);
            case Command::check: return run_check(options, path, api, out);
            case Command::print:
            case Command::pause:
            case Command::resume:
            case Command::cancel:
            case Command::estop:
            case Command::gcode: return run_control(options, api, out);
            default: return run_command(options, api, out);
        }
    } catch (const UsageError& e) {
        complain(e.what());
        return exit_code::usage;
    } catch (const PluginError& e) {
        complain(e.what());
        return exit_code::plugin;
    } catch (const std::exception& e) {
        complain(e.what());
        return exit_code::failed;
    } catch (...) {
        complain("failed for an unknown reason");
        return exit_code::failed;
    }
}
