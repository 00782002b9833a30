// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
//
// Replays printer frames into one printer's dispatcher and prints, for each
// frame, a fingerprint of everything it led to: the host's callbacks (the
// whole status record of each report), the requests queued for the printer
// and the log records at info level and above. Two builds of the read path
// that print the same lines behave the same on those frames.
//
//   frame_replay --out FILE [--mutations N] [--seed S] [--verbose | --show N...] SOURCE...
//
// A SOURCE is a folder (each file one frame), a file of frames one per line,
// or a plug-in log, whose received frames ("on_message,id:") are taken. With
// --mutations, N more frames are made from those by random mutations with a
// fixed seed, the same in every build. --verbose prints what each frame led
// to instead of its fingerprint, --show N only for frame N (repeatable). The lines go to FILE (the plug-in's traces
// go to standard output).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "base/log.h"
#include "frame_feed.h"
#include "json_text.h"
#include "protocol/frame_parser.h"
#include "protocol/printer_session.h"
#include "testkit/recording_uplink.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> frames_of(const fs::path& source) {
    std::vector<std::string> frames;
    auto whole = [](const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    };
    if (fs::is_directory(source)) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(source)) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        for (const auto& file : files) frames.push_back(whole(file));
        return frames;
    }
    std::ifstream in(source, std::ios::binary);
    const std::string marker = "on_message,id:";
    for (std::string line; std::getline(in, line);) {
        const auto at = line.find(marker);
        if (at == std::string::npos) {
            if (line.find("[Thread ") == std::string::npos) frames.push_back(line);
            continue;
        }
        const auto comma = line.find(',', at + marker.size());
        if (comma != std::string::npos) frames.push_back(line.substr(comma + 1));
    }
    return frames;
}

// Byte-level mutations in the manner of a fuzzer, with tokens and numbers
// that sit on the reading rules' edges.
class Mutator {
public:
    Mutator(const std::vector<std::string>& pool, std::uint64_t seed) : pool_(pool), random_(seed) {}

    std::string next() {
        std::string frame = pool_[below(pool_.size())];
        const int steps = 1 + static_cast<int>(below(4));
        for (int i = 0; i < steps; ++i) mutate(frame);
        return frame;
    }

private:
    std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random_() % n); }
    template <typename List>
    const auto& pick(const List& list) {
        return list[below(std::size(list))];
    }

    void mutate(std::string& f) {
        static const char* const kTokens[] = {
            "\"id\":", "\"method\":", "\"params\":", "\"result\":", "\"error\":", "\"message\":", "null", "true",
            "false", "[]", "{}", "\"\"", ",", ":", "[", "]", "{", "}", "\"notify_status_update\"",
            "\"notify_history_changed\"", "\"notify_klippy_ready\"", "\"finished\"", "\"added\"", "\"job\":",
            "\"job_id\":", "\"print_stats\":", "\"toolhead\":", "\"extruder\":", "\"info\":", "\"count\":",
            "\"jobs\":", "\"objects\":", "\"status\":", "\"Klippy Host not connected\"", "\"Unauthorized\"",
            "\"Move out of range\"", "\\u0000", "\\ud800", "\xc3\x28", "\xff"};
        static const char* const kNumbers[] = {
            "0", "-0", "1", "-1", "2147483648", "4294967296", "4294967300", "18446744073709551615",
            "18446744073709551616", "100000000000000000000", "-9223372036854775808", "-9223372036854775809",
            "1e300", "1e400", "-1e-400", "0.1", "0.11", "12.9", "-12.9", "3000000000.5", "1.7976931348623157e308",
            "123456789012345678901234567890", "1E2", "01", "1.", ".5"};
        const std::size_t at = below(f.size() + 1);
        switch (below(9)) {
            case 0: if (!f.empty()) f[below(f.size())] = static_cast<char>(random_()); break;
            case 1: f.insert(at, 1, static_cast<char>(random_())); break;
            case 2: f.erase(at, below(16)); break;
            case 3: f.insert(at, pick(kTokens)); break;
            case 4: f.insert(at, pick(kNumbers)); break;
            case 5: replace_number(f, pick(kNumbers)); break;
            case 6: f.insert(at, f.substr(below(f.size() + 1), below(64))); break;
            case 7: {
                const std::string& other = pick(pool_);
                f = f.substr(0, at) + other.substr(below(other.size() + 1));
                break;
            }
            default: f.resize(at); break;
        }
    }

    void replace_number(std::string& f, const char* number) {
        const std::size_t start = f.find_first_of("-0123456789", below(f.size() + 1));
        if (start == std::string::npos) return;
        const std::size_t end = f.find_first_not_of("-+.eE0123456789", start);
        f.replace(start, (end == std::string::npos ? f.size() : end) - start, number);
    }

    const std::vector<std::string>& pool_;
    std::mt19937_64 random_;
};

std::uint64_t fnv1a(const std::string& text, std::uint64_t hash = 1469598103934665603ull) {
    for (unsigned char c : text) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// The log's records without their time stamp and thread, followed across
// the log's rotation to a new file.
class LogTail {
public:
    explicit LogTail(const fs::path& dir) : dir_(dir) {}

    std::string take() {
        pemra::log::flush();
        if (!in_.is_open()) open_next_file();
        std::string out = read_new_lines();
        // Near the rotation size, the rest of this frame's records may be in
        // the next file already.
        if (bytes_read_ > kRotationNear && open_next_file()) out += read_new_lines();
        return out;
    }

private:
    std::string read_new_lines() {
        if (!in_.is_open()) return {};
        in_.clear();
        std::string out;
        for (std::string line; std::getline(in_, line);) {
            bytes_read_ += line.size() + 1;
            const auto tab = line.find('\t');
            const auto body = line.find("]:", tab == std::string::npos ? 0 : tab);
            out += line.substr(0, tab) + (body == std::string::npos ? line : line.substr(body + 2)) + "\n";
        }
        return out;
    }

    // The log's files are numbered in order; true when a newer one was opened.
    bool open_next_file() {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(dir_)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        if (files.size() <= files_read_) return false;
        std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
            return fs::last_write_time(a) < fs::last_write_time(b) ||
                   (fs::last_write_time(a) == fs::last_write_time(b) && a < b);
        });
        in_.close();
        in_.open(files[files_read_], std::ios::binary);
        ++files_read_;
        bytes_read_ = 0;
        return in_.is_open();
    }

    // The log starts a new file at 100 MiB.
    static constexpr std::size_t kRotationNear = 100 * 1024 * 1024 - 64 * 1024;

    fs::path dir_;
    std::ifstream in_;
    std::size_t files_read_ = 0;
    std::size_t bytes_read_ = 0;
};

// One printer's session, reporting to a recording uplink: reports and
// requests in the order the session made them, requests with the id the
// agent would send them under.
struct Printer {
    std::string outcome_since(std::size_t& seen) const {
        const auto& calls = uplink.calls();
        std::string reports, requests;
        for (std::size_t i = seen; i < calls.size(); ++i) {
            const auto& c = calls[i];
            if (c.kind == "status") {
                reports += "status " + c.device_id + " " + monitor::status_to_json(c.status).dump() + "\n";
            } else if (c.kind == "request") {
                const auto id = nlohmann::json::parse(c.text, nullptr, false).value("id", -1);
                requests += "request " + c.device_id + " " + std::to_string(id) + " " + c.text + "\n";
            } else {
                reports += c.kind + " " + c.device_id + " " + c.text + "\n";
            }
        }
        seen = calls.size();
        return reports + requests;
    }

    pemra::protocol::FrameParser parser;
    testkit::RecordingUplink uplink;
    pemra::protocol::PrinterSession session{"replay"};
};

}  // namespace

int main(int argc, char** argv) {
    long mutations = 0;
    std::uint64_t seed = 1;
    bool verbose = false;
    std::vector<long> shown;
    std::string out_path;
    std::vector<std::string> frames;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--mutations" && i + 1 < argc) {
            mutations = std::stol(argv[++i]);
        } else if (arg == "--seed" && i + 1 < argc) {
            seed = std::stoull(argv[++i]);
        } else if (arg == "--out" && i + 1 < argc) {
            out_path = argv[++i];
        } else if (arg == "--show" && i + 1 < argc) {
            shown.push_back(std::stol(argv[++i]));
        } else if (arg == "--verbose") {
            verbose = true;
        } else {
            auto more = frames_of(arg);
            frames.insert(frames.end(), more.begin(), more.end());
        }
    }
    std::ofstream out(out_path, std::ios::binary);
    if (frames.empty() || !out) {
        std::cerr << "usage: frame_replay --out FILE [--mutations N] [--seed S] [--verbose | --show N...] SOURCE...\n";
        return 2;
    }

    const fs::path log_dir = fs::temp_directory_path() / ("frame_replay_" + std::to_string(std::random_device{}()));
    pemra::log::init_logging(log_dir.string(), 3);
    LogTail log_tail(log_dir);

    // A fresh printer every so many frames, as the replay has always made one.
    constexpr long kFramesPerPrinter = 64;
    std::unique_ptr<Printer> printer;
    std::size_t seen_calls = 0;
    Mutator mutator(frames, seed);
    const long total = static_cast<long>(frames.size()) + mutations;
    std::uint64_t all = fnv1a("");
    for (long n = 0; n < total; ++n) {
        if (n % kFramesPerPrinter == 0) {
            printer = std::make_unique<Printer>();
            seen_calls = 0;
        }
        const std::string frame = n < static_cast<long>(frames.size()) ? frames[static_cast<std::size_t>(n)] : mutator.next();
        replay::feed(printer->session, printer->parser, printer->uplink, frame);
        const std::string outcome = printer->outcome_since(seen_calls) + log_tail.take();
        all = fnv1a(outcome, all);
        if (verbose || std::find(shown.begin(), shown.end(), n) != shown.end()) {
            out << "== frame " << n << ": " << frame << "\n" << outcome;
        } else if (shown.empty()) {
            out << n << ' ' << std::hex << fnv1a(outcome) << std::dec << '\n';
        }
    }
    std::cerr << total << " frames (" << frames.size() << " given, " << mutations << " made), fingerprint " << std::hex
              << all << std::dec << "\n";
    std::error_code ignored;
    fs::remove_all(log_dir, ignored);
    return 0;
}
