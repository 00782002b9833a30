// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "status/json_read.h"

#include <cmath>

namespace pemra::json_read {
namespace {

std::string describe(std::string_view object, std::string_view field, std::string_view expected,
                     const json& found) {
    std::string text;
    text.append("\"").append(object).append("\".\"").append(field).append("\" is ");
    text.append(found.type_name()).append(", expected ").append(expected);
    return text;
}

}  // namespace

ReadError::ReadError(std::string_view object, std::string_view field, std::string_view expected,
                     const json& found)
    : std::runtime_error(describe(object, field, expected, found)) {}

std::int32_t reduce_to_int32(std::uint64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value & 0xffffffffu));
}

std::int32_t reduce_to_int32(std::int64_t value) {
    return reduce_to_int32(static_cast<std::uint64_t>(value));
}

std::int32_t reduce_to_int32(double value) {
    if (!std::isfinite(value)) return 0;
    // fmod is exact, so this is the integer rule applied to trunc(value),
    // whatever its magnitude.
    double low = std::fmod(std::trunc(value), 4294967296.0);
    if (low < 0) low += 4294967296.0;
    return reduce_to_int32(static_cast<std::uint64_t>(low));
}

const json* present(const json& object, std::string_view key) {
    if (!object.is_object()) return nullptr;
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return nullptr;
    return &*it;
}

const json* object_entry(const json& status, std::string_view key) {
    if (!status.is_object()) return nullptr;
    auto it = status.find(key);
    if (it == status.end() || !it->is_object()) return nullptr;
    return &*it;
}

double Fields::to_double(std::string_view key, const json& value) const {
    switch (value.type()) {
        case json::value_t::number_integer: return static_cast<double>(value.get_ref<const json::number_integer_t&>());
        case json::value_t::number_unsigned: return static_cast<double>(value.get_ref<const json::number_unsigned_t&>());
        case json::value_t::number_float: return value.get_ref<const json::number_float_t&>();
        default: throw ReadError(name_, key, "a number", value);
    }
}

std::int32_t Fields::to_int32(std::string_view key, const json& value) const {
    switch (value.type()) {
        case json::value_t::number_integer: return reduce_to_int32(value.get_ref<const json::number_integer_t&>());
        case json::value_t::number_unsigned: return reduce_to_int32(value.get_ref<const json::number_unsigned_t&>());
        case json::value_t::number_float: return reduce_to_int32(value.get_ref<const json::number_float_t&>());
        case json::value_t::boolean: return value.get_ref<const json::boolean_t&>() ? 1 : 0;
        default: throw ReadError(name_, key, "a number", value);
    }
}

const std::string& Fields::to_string(std::string_view key, const json& value) const {
    if (!value.is_string()) throw ReadError(name_, key, "a string", value);
    return value.get_ref<const std::string&>();
}

bool Fields::read(std::string_view key, double& out) const {
    const json* value = present(key);
    if (!value) return false;
    out = to_double(key, *value);
    return true;
}

bool Fields::read(std::string_view key, std::int32_t& out) const {
    const json* value = present(key);
    if (!value) return false;
    out = to_int32(key, *value);
    return true;
}

bool Fields::read(std::string_view key, bool& out) const {
    const json* value = present(key);
    if (!value) return false;
    if (!value->is_boolean()) throw ReadError(name_, key, "a boolean", *value);
    out = value->get_ref<const json::boolean_t&>();
    return true;
}

bool Fields::read(std::string_view key, std::string& out) const {
    const json* value = present(key);
    if (!value) return false;
    out = to_string(key, *value);
    return true;
}

bool Fields::read_or_clear(std::string_view key, std::string& out) const {
    auto it = object_.find(key);
    if (it == object_.end()) return false;
    if (it->is_null()) {
        out.clear();
        return true;
    }
    out = to_string(key, *it);
    return true;
}

bool Fields::read_switch(std::string_view key, bool& out) const {
    const json* value = present(key);
    if (!value) return false;
    out = to_double(key, *value) > 0.1;
    return true;
}

bool Fields::read_array(std::string_view key, double* out, std::size_t size) const {
    const json* value = present(key);
    if (!value) return false;
    if (value->is_array()) {
        std::size_t slot = 0;
        for (const json& element : *value) {
            if (slot == size) break;
            out[slot++] = to_double(key, element);
        }
        return true;
    }
    out[0] = to_double(key, *value);
    return true;
}

}  // namespace pemra::json_read
