// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "printers_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

namespace monitor {
namespace {

std::string trimmed(const std::string& line) {
    const char* blanks = " \t\r\f\v";
    const auto first = line.find_first_not_of(blanks);
    if (first == std::string::npos) return {};
    return line.substr(first, line.find_last_not_of(blanks) - first + 1);
}

}  // namespace

std::vector<PrinterTarget> read_printers(std::istream& in, const std::string& name) {
    std::vector<PrinterTarget> printers;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string text = trimmed(line);
        if (text.empty() || text.front() == '#') continue;
        const std::string where = name + ", line " + std::to_string(number) + ": ";
        try {
            printers.push_back(parse_target(text));
        } catch (const UsageError& e) {
            throw UsageError(where + e.what());
        }
        for (std::size_t i = 0; i + 1 < printers.size(); ++i) {
            if (printers[i].id == printers.back().id) {
                throw UsageError(where + "printer id '" + printers.back().id + "' is given twice");
            }
        }
    }
    if (in.bad()) throw UsageError("cannot read printers file " + name);
    if (printers.empty()) throw UsageError("printers file " + name + " names no printer");
    return printers;
}

std::vector<PrinterTarget> read_printers_file(const std::string& path) {
    if (path == "-") return read_printers(std::cin, "(standard input)");
    // A folder opens as a stream that reads nothing, which would pass for an
    // empty file.
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        throw UsageError("cannot read printers file " + path + ": it is a folder");
    }
    std::ifstream in(path);
    if (!in) throw UsageError("cannot read printers file " + path + ": " + std::strerror(errno));
    return read_printers(in, path);
}

}  // namespace monitor
