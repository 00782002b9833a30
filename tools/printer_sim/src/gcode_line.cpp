// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "gcode_line.h"

#include <cctype>
#include <cstdlib>

namespace printer_sim::detail {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

std::string upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// G1, M104, T0: a letter followed by a number.
bool is_traditional(std::string_view word) {
    if (word.size() < 2 || !std::isalpha(static_cast<unsigned char>(word[0]))) return false;
    for (std::size_t i = 1; i < word.size(); ++i) {
        const char c = word[i];
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.') return false;
    }
    return true;
}

}  // namespace

std::optional<double> GcodeLine::number(const std::string& name) const {
    auto found = params.find(name);
    if (found == params.end()) return std::nullopt;
    const std::string& value = found->second;
    char* end = nullptr;
    const double parsed = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0') {
        throw GcodeError{"Error on '" + text + "': unable to parse " + value};
    }
    return parsed;
}

std::string GcodeLine::text_param(const std::string& name, std::string fallback) const {
    auto found = params.find(name);
    return found == params.end() ? fallback : found->second;
}

GcodeLine parse_gcode_line(std::string_view line) {
    GcodeLine out;
    const auto comment = line.find(';');
    if (comment != std::string_view::npos) line = line.substr(0, comment);
    line = trim(line);
    out.text = std::string(line);
    if (line.empty()) return out;

    const auto space = line.find_first_of(" \t");
    const std::string_view word = line.substr(0, space);
    out.command = upper(word);
    out.rest = space == std::string_view::npos ? std::string() : std::string(trim(line.substr(space)));

    std::string_view rest = out.rest;
    const bool traditional = is_traditional(word);
    while (!rest.empty()) {
        const auto end = rest.find_first_of(" \t");
        std::string_view token = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : trim(rest.substr(end));
        if (token.empty()) continue;
        if (traditional) {
            out.params[upper(token.substr(0, 1))] = std::string(token.substr(1));
        } else {
            const auto equals = token.find('=');
            if (equals == std::string_view::npos) continue;
            std::string value(token.substr(equals + 1));
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            out.params[upper(token.substr(0, equals))] = std::move(value);
        }
    }
    return out;
}

}  // namespace printer_sim::detail
