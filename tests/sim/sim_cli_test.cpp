// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The command line of pemra-printer-sim.
#include <algorithm>
#include <stdexcept>
#include <vector>

#include <gtest/gtest.h>

#include "cli_options.h"

namespace {

using printer_sim::cli::CliOptions;

CliOptions parse(std::vector<const char*> args) {
    args.insert(args.begin(), "pemra-printer-sim");
    return printer_sim::cli::parse_command_line(static_cast<int>(args.size()), args.data());
}

TEST(SimCli, DefaultsServeOnePrinterOn7125) {
    const auto o = parse({});
    EXPECT_EQ(o.first_port, 7125);
    EXPECT_EQ(o.count, 1);
    EXPECT_EQ(o.printer.hostname, "printer-sim");
    EXPECT_EQ(o.printer.update_interval.count(), 250);
    EXPECT_EQ(printer_sim::cli::printing_count(o), 0);
}

TEST(SimCli, FarmOptions) {
    const auto o = parse({"--port", "9000", "--count", "200", "--printing", "25%", "--kinematics", "delta",
                          "--interval", "100", "--print-duration", "90", "--stamp-send-time", "--speed", "4"});
    EXPECT_EQ(o.first_port, 9000);
    EXPECT_EQ(o.count, 200);
    EXPECT_EQ(printer_sim::cli::printing_count(o), 50);
    EXPECT_EQ(o.printer.kinematics, printer_sim::Kinematics::delta);
    EXPECT_EQ(o.printer.update_interval.count(), 100);
    EXPECT_EQ(o.printer.print_duration.count(), 90000);
    EXPECT_TRUE(o.printer.stamp_send_time);
    EXPECT_EQ(o.printer.speed, 4.0);
    // Several printers get numbered hostnames unless one is given.
    EXPECT_EQ(printer_sim::cli::hostname_for(o.printer.hostname, 0), "printer-sim-1");
    EXPECT_EQ(printer_sim::cli::hostname_for(parse({"--count", "3", "--hostname", "PemraX"}).printer.hostname, 2),
              "PemraX");
    EXPECT_EQ(printer_sim::cli::printing_count(parse({"--count", "10", "--printing", "3"})), 3);
    EXPECT_EQ(printer_sim::cli::printing_count(parse({"--count", "10", "--printing", "30"})), 10);
}

TEST(SimCli, AddedFilesAreCopiesOfTheFirstUnderTheirOwnNames) {
    const auto plain = parse({});
    const auto o = parse({"--add-file", "bracket \"v2\" f\xC3\xBCr.gcode", "--add-file", "b.gcode"});
    ASSERT_EQ(o.printer.files.size(), plain.printer.files.size() + 2);
    EXPECT_EQ(o.printer.files[o.printer.files.size() - 2].filename, "bracket \"v2\" f\xC3\xBCr.gcode");
    EXPECT_EQ(o.printer.files.back().filename, "b.gcode");
    EXPECT_EQ(o.printer.files.back().size, plain.printer.files.front().size);
    EXPECT_THROW(parse({"--add-file", "sub/b.gcode"}), std::invalid_argument);
    EXPECT_THROW(parse({"--add-file", ""}), std::invalid_argument);
}

TEST(SimCli, ExplicitPortsGiveEachPrinterItsOwn) {
    const auto o = parse({"--ports", "40001,39000,40500"});
    EXPECT_EQ(o.count, 3);
    EXPECT_EQ(printer_sim::cli::port_for(o, 0), 40001);
    EXPECT_EQ(printer_sim::cli::port_for(o, 1), 39000);
    EXPECT_EQ(printer_sim::cli::port_for(o, 2), 40500);
    EXPECT_EQ(printer_sim::cli::hostname_for(o.printer.hostname, 1), "printer-sim-2");
    // Without a list: consecutive ports from the first, or all chosen by the system.
    EXPECT_EQ(printer_sim::cli::port_for(parse({"--port", "9000", "--count", "3"}), 2), 9002);
    EXPECT_EQ(printer_sim::cli::port_for(parse({"--port", "0", "--count", "3"}), 2), 0);
}

TEST(SimCli, FaultsAndObjects) {
    const auto o = parse({"--no-pongs", "--method-delay", "printer.info=300", "--method-drop", "server.info",
                          "--method-error", "printer.objects.list=-32000:busy: try later", "--without-object",
                          "heater_bed", "--add-object", "gcode_macro a,b"});
    EXPECT_TRUE(o.no_pongs);
    EXPECT_EQ(o.method_faults.at("printer.info").delay.count(), 300);
    EXPECT_TRUE(o.method_faults.at("server.info").drop);
    EXPECT_EQ(o.method_faults.at("printer.objects.list").error_code, -32000);
    EXPECT_EQ(o.method_faults.at("printer.objects.list").error_message, "busy: try later");
    const auto& objects = o.printer.objects;
    EXPECT_EQ(std::count(objects.begin(), objects.end(), "heater_bed"), 0);
    EXPECT_EQ(objects.back(), "gcode_macro a,b");
    EXPECT_TRUE(parse({"--empty-objects"}).printer.objects.empty());
}

TEST(SimCli, BadInputIsRefused) {
    EXPECT_THROW(parse({"--count", "0"}), std::invalid_argument);
    EXPECT_THROW(parse({"--port", "65535", "--count", "2"}), std::invalid_argument);
    EXPECT_THROW(parse({"--kinematics", "scara"}), std::invalid_argument);
    EXPECT_THROW(parse({"--interval"}), std::invalid_argument);
    EXPECT_THROW(parse({"--frobnicate"}), std::invalid_argument);
    EXPECT_THROW(parse({"--method-delay", "printer.info"}), std::invalid_argument);
    EXPECT_THROW(parse({"--ports", "9000,,9001"}), std::invalid_argument);
    EXPECT_THROW(parse({"--ports", "0"}), std::invalid_argument);
    EXPECT_THROW(parse({"--ports", "9000,9001", "--count", "2"}), std::invalid_argument);
}

TEST(SimCli, HelpDocumentsEveryOption) {
    const std::string help = printer_sim::cli::usage();
    for (const char* option :
         {"--port", "--ports", "--count", "--bind", "--hostname", "--cpu-info", "--software-version", "--kinematics",
          "--klippy-state", "--interval", "--stats-interval", "--speed", "--printing", "--print-file", "--add-file",
          "--print-duration", "--stamp-send-time", "--without-object", "--add-object", "--empty-objects", "--refuse",
          "--stall-handshake", "--no-pongs", "--no-status-updates", "--no-proc-stats", "--method-delay",
          "--method-drop", "--method-error", "--quiet", "--verbose", "--help"}) {
        EXPECT_NE(help.find(option), std::string::npos) << option;
    }
}

}  // namespace
