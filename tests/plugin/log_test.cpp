// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// The diagnostic log as a host leaves it: one file per agent under
// <log_dir>/log, one record per line in the fixed layout, filtered by the
// host's level, and never mixed with the host's own logging.

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <boost/log/attributes/constant.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_ostream_backend.hpp>
#include <boost/log/sources/logger.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/log/trivial.hpp>
#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include "host_events.h"
#include "host_library.h"
#include "printer_sim/printer.h"

namespace {

namespace fs = std::filesystem;
using test_host::HostLibrary;

fs::path fresh_dir(const std::string& name) {
    const fs::path dir = fs::path(::testing::TempDir()) / ("pemra_log_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

std::vector<fs::path> log_files(const fs::path& dir) {
    std::vector<fs::path> files;
    if (!fs::exists(dir / "log")) return files;
    for (const auto& entry : fs::directory_iterator(dir / "log")) files.push_back(entry.path());
    return files;
}

std::vector<std::string> lines_of(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The message part of each record.
std::vector<std::string> messages(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines) {
        const auto at = line.find("]:");
        out.push_back(at == std::string::npos ? line : line.substr(at + 2));
    }
    return out;
}

class DiagnosticLog : public ::testing::Test {
protected:
    // One agent's whole life: create, start, a disconnect of an unknown
    // printer (info), a connect the client refuses (error), destroy (debug).
    std::vector<std::string> run_agent(const fs::path& dir, int level) {
        void* agent = HOST_FN(lib, pemra_network_create_agent)(dir.string(), level);
        HOST_FN(lib, pemra_network_start)(agent);
        HOST_FN(lib, pemra_network_disconnect_printer)(agent, "ghost");       // info
        HOST_FN(lib, pemra_network_connect_printer)(agent, "bad", "127.0.0.1:99999", "", "");  // error
        HOST_FN(lib, pemra_network_destroy_agent)(agent);                     // debug lines
        const auto files = log_files(dir);
        if (files.empty()) return {};
        EXPECT_EQ(files.size(), 1u);
        return lines_of(files.front());
    }

    HostLibrary lib;
};

TEST_F(DiagnosticLog, FileNameAndRecordLayout) {
    const auto dir = fresh_dir("layout");
    const auto lines = run_agent(dir, 4);
    const auto files = log_files(dir);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_TRUE(std::regex_match(files.front().filename().string(),
                                 std::regex(R"(debug_network_[A-Z][a-z]{2}_[A-Z][a-z]{2}_\d{2}_\d{2}_\d{2}_\d{2}_\.log\.0)")))
        << files.front();
    ASSERT_FALSE(lines.empty());
    const std::regex layout(R"(\[(debug|info|error)\]\t\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{6}\[Thread [^\]]+\]:.*)");
    for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, layout)) << line;
}

TEST_F(DiagnosticLog, StopWritesItsLinesInOrder) {
    const auto all = messages(run_agent(fresh_dir("stop"), 4));
    ASSERT_GE(all.size(), 2u);
    auto start = std::find(all.begin(), all.end(), "stop connection thread start");
    ASSERT_NE(start, all.end());
    EXPECT_EQ(all.back(), "stop connection thread end");
    // The loops end as soon as stop asks them to, before or after its first line.
    EXPECT_EQ(std::count(all.begin(), all.end(), "do_send_loop stop"), 1);
    EXPECT_EQ(std::count(all.begin(), all.end(), "do_socket_check_loop stop"), 1);
    EXPECT_NE(std::find(all.begin(), all.end(), "No connection found with id ghost"), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "Connect initialization bad"), all.end());
}

TEST_F(DiagnosticLog, LevelSetsTheThreshold) {
    struct Row {
        int level;
        bool debug, info, error;
    };
    for (const Row& row : {Row{0, false, false, false}, Row{1, false, false, true}, Row{2, false, false, true},
                           Row{3, false, true, true}, Row{4, true, true, true}, Row{7, true, true, true}}) {
        const auto lines = run_agent(fresh_dir("level" + std::to_string(row.level)), row.level);
        auto has = [&](const char* severity) {
            return std::any_of(lines.begin(), lines.end(),
                               [&](const std::string& l) { return l.rfind(std::string("[") + severity + "]", 0) == 0; });
        };
        EXPECT_EQ(has("debug"), row.debug) << "level " << row.level;
        EXPECT_EQ(has("info"), row.info) << "level " << row.level;
        EXPECT_EQ(has("error"), row.error) << "level " << row.level;
        if (row.level == 0) {
            EXPECT_TRUE(lines.empty()) << "no record, no file";
        }
    }
}

TEST_F(DiagnosticLog, AgentsCreatedInOneSecondShareAFileWithoutDamage) {
    fs::path dir;
    // The file's name is fixed when an agent is created, to the second of
    // time(), which may lag the precise clock by a few milliseconds: start
    // well inside a second. On a busy machine the three creations can still
    // straddle a second; then the case is tried again.
    for (int attempt = 0;; ++attempt) {
        ASSERT_LT(attempt, 5) << "never managed three creations within one second";
        dir = fresh_dir("same_second" + std::to_string(attempt));
        const auto now = std::chrono::system_clock::now();
        std::this_thread::sleep_until(std::chrono::ceil<std::chrono::seconds>(now) + std::chrono::milliseconds(50));
        const std::time_t first = std::time(nullptr);
        void* agents[3];
        for (auto& agent : agents) agent = HOST_FN(lib, pemra_network_create_agent)(dir.string(), 4);
        const std::time_t last = std::time(nullptr);
        for (auto* agent : agents) {
            HOST_FN(lib, pemra_network_start)(agent);
            HOST_FN(lib, pemra_network_destroy_agent)(agent);
        }
        if (first == last) break;
    }
    const auto files = log_files(dir);
    ASSERT_EQ(files.size(), 1u) << "all three created within one second";
    const auto lines = lines_of(files.front());
    // One header, then a message with no second record's tab in it.
    const std::regex layout(R"(\[debug\]\t\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}\.\d{6}\[Thread [^\]]+\]:[^\t]+)");
    for (const auto& line : lines) EXPECT_TRUE(std::regex_match(line, layout)) << "damaged record: " << line;
    const auto all = messages(lines);
    EXPECT_GE(std::count(all.begin(), all.end(), "stop connection thread end"), 3);
}

TEST_F(DiagnosticLog, AnUnwritableFolderLeavesAWorkingAgent) {
    const auto dir = fresh_dir("broken");
    std::ofstream(dir / "log") << "a file where the folder should be";
    printer_sim::Printer printer;
    test_host::HostEvents events;  // outlives the agent, which calls into it
    void* agent = HOST_FN(lib, pemra_network_create_agent)(dir.string(), 4);
    ASSERT_NE(agent, nullptr);
    HOST_FN(lib, pemra_set_machine_status_changed_fn)(agent, events.status_fn());
    HOST_FN(lib, pemra_set_file_list_arrived_fn)(agent, events.text_fn("file_list"));
    EXPECT_EQ(HOST_FN(lib, pemra_network_start)(agent), 0);
    EXPECT_EQ(HOST_FN(lib, pemra_network_connect_printer)(agent, "p", printer.address(), "", ""), 0);
    // Working means what a host sees: the printer comes up and answers.
    EXPECT_TRUE(events.wait_status("p", test_host::is_live));
    HOST_FN(lib, pemra_get_file_list_fn)(agent, "p");
    EXPECT_TRUE(events.wait_kind("file_list"));
    EXPECT_EQ(HOST_FN(lib, pemra_network_destroy_agent)(agent), 0);
    EXPECT_TRUE(fs::is_regular_file(dir / "log")) << "the host's file is left alone";
}

TEST_F(DiagnosticLog, TheHostsOwnLoggingIsLeftAlone) {
    namespace bl = boost::log;
    // The host logs through the same logging library, with its own filter
    // and its own sink.
    auto host_stream = boost::make_shared<std::ostringstream>();
    auto backend = boost::make_shared<bl::sinks::text_ostream_backend>();
    backend->add_stream(host_stream);
    auto host_sink = boost::make_shared<bl::sinks::synchronous_sink<bl::sinks::text_ostream_backend>>(backend);
    host_sink->set_formatter(bl::expressions::stream << bl::expressions::smessage);
    bl::core::get()->add_sink(host_sink);
    bl::core::get()->set_filter(bl::trivial::severity >= bl::trivial::warning);

    const auto dir = fresh_dir("host");
    void* agent = HOST_FN(lib, pemra_network_create_agent)(dir.string(), 4);
    HOST_FN(lib, pemra_network_start)(agent);
    HOST_FN(lib, pemra_network_connect_printer)(agent, "bad", "127.0.0.1:99999", "", "");  // an error record
    BOOST_LOG_TRIVIAL(warning) << "host warning";
    BOOST_LOG_TRIVIAL(debug) << "host debug";
    HOST_FN(lib, pemra_network_destroy_agent)(agent);
    host_sink->flush();

    const std::string host_text = host_stream->str();
    EXPECT_NE(host_text.find("host warning"), std::string::npos);
    EXPECT_EQ(host_text.find("host debug"), std::string::npos) << "the host's filter still applies";
    EXPECT_EQ(host_text.find("stop connection thread"), std::string::npos)
        << "our debug records do not pass the host's filter";

    const auto files = log_files(dir);
    ASSERT_EQ(files.size(), 1u);
    const std::string ours = [&] {
        std::ifstream in(files.front());
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }();
    // The plug-in logs through its own copy of the library, whose core the
    // host's filter does not reach: our debug records are all there.
    EXPECT_NE(ours.find("Connect initialization error: bad"), std::string::npos);
    EXPECT_NE(ours.find("stop connection thread"), std::string::npos) << "the host's filter is not ours";
    EXPECT_EQ(ours.find("host warning"), std::string::npos) << "the host's records stay out of our file";
    bl::core::get()->remove_sink(host_sink);
    bl::core::get()->reset_filter();
}

}  // namespace
