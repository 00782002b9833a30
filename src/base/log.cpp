// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "base/log.h"

#include <atomic>
#include <ctime>
#include <iomanip>
#include <ios>
#include <locale>
#include <mutex>
#include <sstream>
#include <vector>

#include <boost/filesystem/operations.hpp>
#include <boost/log/attributes/clock.hpp>
#include <boost/log/attributes/counter.hpp>
#include <boost/log/attributes/current_process_id.hpp>
#include <boost/log/attributes/current_thread_id.hpp>
#include <boost/log/attributes/value_extraction.hpp>
#include <boost/log/core/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/sinks/sync_frontend.hpp>
#include <boost/log/sinks/text_file_backend.hpp>
#include <boost/log/sources/record_ostream.hpp>
#include <boost/log/sources/severity_channel_logger.hpp>
#include <boost/log/support/date_time.hpp>
#include <boost/log/trivial.hpp>
#include <boost/log/utility/exception_handler.hpp>
#include <boost/log/utility/setup/file.hpp>

#include "platform/platform.h"

namespace pemra::log {
namespace {

namespace bl = boost::log;
using severity_level = bl::trivial::severity_level;
using Logger = bl::sources::severity_channel_logger_mt<severity_level, std::string>;
using FileSink = bl::sinks::synchronous_sink<bl::sinks::text_file_backend>;

constexpr const char* kChannel = "pemra_network";
constexpr std::uintmax_t kRotationSize = 104857600;

// Lowest severity written; above fatal while no sink exists, so that every
// record is dropped before anything is formatted.
std::atomic<int> g_threshold{static_cast<int>(Level::fatal) + 1};

// Our sinks, one per init_logging. The logging library is normally linked
// into ours, its core ours alone; linked as a shared library it belongs to
// the process and outlives this library when the host uses it too, so the
// sinks (whose code is ours) leave the core when the library is unloaded.
class Sinks {
public:
    ~Sinks() {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& sink : sinks_) {
            try {
                sink->flush();
                bl::core::get()->remove_sink(sink);
            } catch (...) {
            }
        }
        sinks_.clear();
    }
    void add(boost::shared_ptr<FileSink> sink) {
        std::lock_guard<std::mutex> lock(mutex_);
        sinks_.push_back(std::move(sink));
    }
    std::vector<boost::shared_ptr<FileSink>> all() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return sinks_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<boost::shared_ptr<FileSink>> sinks_;  // guarded by mutex_
};

// Made after the core, so that it is destroyed before the core at exit.
Sinks& sinks() {
    bl::core::get();
    static Sinks instance;
    return instance;
}

Logger& logger() {
    // Time, thread and line attributes live on our own source, so the
    // host's logging core gains nothing from us.
    static Logger instance = [] {
        Logger l(bl::keywords::channel = kChannel);
        l.add_attribute("LineID", bl::attributes::counter<unsigned int>(1));
        l.add_attribute("TimeStamp", bl::attributes::local_clock());
        l.add_attribute("ProcessID", bl::attributes::current_process_id());
        l.add_attribute("ThreadID", bl::attributes::current_thread_id());
        return l;
    }();
    return instance;
}

bool ours_and_passes(const bl::attribute_value_set& values) {
    auto channel = bl::extract<std::string>("Channel", values);
    if (!channel || *channel != kChannel) return false;
    auto severity = bl::extract<severity_level>("Severity", values);
    return severity && static_cast<int>(*severity) >= g_threshold.load(std::memory_order_relaxed);
}

std::string file_name_now() {
    std::tm local = platform::local_time(std::time(nullptr));
    std::ostringstream name;
    name.imbue(std::locale::classic());
    name << std::put_time(&local, "debug_network_%a_%b_%d_%H_%M_%S_") << ".log";
    return name.str();
}

std::string escape_line_breaks(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace

Level threshold_for(int log_level) {
    switch (log_level) {
        case 0: return Level::fatal;
        case 1: return Level::error;
        case 2: return Level::warning;
        case 3: return Level::info;
        case 4: return Level::debug;
        default: return Level::trace;
    }
}

bool init_logging(const std::string& log_dir, int log_level) {
    try {
        namespace fs = boost::filesystem;
        const fs::path folder = platform::path_from_utf8(log_dir) / "log";
        if (!fs::exists(folder)) fs::create_directories(folder);
        fs::path file = folder / file_name_now();
        file.make_preferred();

        namespace expr = bl::expressions;
        auto sink = bl::add_file_log(
            bl::keywords::file_name = file.string() + ".%N",
            bl::keywords::rotation_size = kRotationSize,
            // Two agents created within one second name the same file:
            // appending keeps both writers' records whole.
            bl::keywords::open_mode = std::ios_base::out | std::ios_base::app,
            bl::keywords::format =
                (expr::stream << "[" << bl::trivial::severity << "]\t"
                              << expr::format_date_time<boost::posix_time::ptime>(
                                     "TimeStamp", "%Y-%m-%d %H:%M:%S.%f")
                              << "[Thread "
                              << expr::attr<bl::attributes::current_thread_id::value_type>("ThreadID")
                              << "]:" << expr::smessage));
        sink->set_filter(&ours_and_passes);
        // A file that cannot be opened or written must not turn a log
        // statement into an exception in the host's call.
        sink->set_exception_handler(bl::make_exception_suppressor());
        sinks().add(sink);
        logger();
        g_threshold.store(static_cast<int>(threshold_for(log_level)));
        return true;
    } catch (...) {
        return false;
    }
}

bool enabled(Level level) {
    return static_cast<int>(level) >= g_threshold.load(std::memory_order_relaxed);
}

void write(Level level, std::string_view message) {
    if (!enabled(level)) return;
    try {
        Logger& source = logger();
        bl::record rec = source.open_record(bl::keywords::severity = static_cast<severity_level>(level));
        if (!rec) return;
        bl::record_ostream stream(rec);
        if (message.find_first_of("\r\n") == std::string_view::npos) {
            stream << message;
        } else {
            stream << escape_line_breaks(message);
        }
        stream.flush();
        source.push_record(boost::move(rec));
    } catch (...) {
        // The log is best effort; the caller's work goes on.
    }
}

void flush() {
    for (const auto& sink : sinks().all()) {
        try {
            sink->flush();
        } catch (...) {
        }
    }
}

}  // namespace pemra::log
