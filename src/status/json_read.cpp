// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "status/json_read.h"

#include <cmath>

namespace pemra::json_read {
namespace {

using simdjson::dom::element_type;

std::string describe(std::string_view object, std::string_view field, std::string_view expected, Element found) {
    std::string text;
    text.append("\"").append(object).append("\".\"").append(field).append("\" is ");
    text.append(type_name(found)).append(", expected ").append(expected);
    return text;
}

std::optional<Element> unless_null(std::optional<Element> value) {
    if (value && value->is_null()) return std::nullopt;
    return value;
}

std::optional<Element> if_object(std::optional<Element> value) {
    if (value && !value->is_object()) return std::nullopt;
    return value;
}

}  // namespace

ReadError::ReadError(std::string_view object, std::string_view field, std::string_view expected, Element found)
    : std::runtime_error(describe(object, field, expected, found)) {}

std::string_view type_name(Element value) {
    switch (value.type()) {
        case element_type::NULL_VALUE: return "null";
        case element_type::BOOL: return "boolean";
        case element_type::INT64:
        case element_type::UINT64:
        case element_type::DOUBLE: return "number";
        case element_type::STRING: return "string";
        case element_type::ARRAY: return "array";
        case element_type::OBJECT: return "object";
    }
    return "unknown";
}

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

std::optional<Element> find(Element object, std::string_view key) {
    if (object.type() != element_type::OBJECT) return std::nullopt;
    const simdjson::dom::object fields = object.get_object().value_unsafe();
    std::optional<Element> found;
    // Every entry is looked at: of a repeated key, the last one counts.
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        if (it.key_equals(key)) found = it.value();
    }
    return found;
}

std::optional<Element> present(Element object, std::string_view key) { return unless_null(find(object, key)); }

std::optional<Element> object_entry(Element status, std::string_view key) { return if_object(find(status, key)); }

std::optional<Element> last_element(Element array) {
    if (array.type() != element_type::ARRAY) return std::nullopt;
    std::optional<Element> last;
    for (Element element : elements_of(array)) last = element;
    return last;
}

Entries::Entries(Element object) : object_(object) {
    if (object.type() != element_type::OBJECT) return;
    const simdjson::dom::object fields = object.get_object().value_unsafe();
    for (const auto field : fields) {
        if (count_ == kCapacity) {
            gathered_ = false;
            return;
        }
        keys_[count_] = field.key;
        values_[count_] = field.value;
        ++count_;
    }
}

std::optional<Element> Entries::find(std::string_view key) const {
    if (!gathered_) return json_read::find(object_, key);
    // From the back: the last of a repeated key is the one that counts.
    for (std::size_t i = count_; i-- > 0;) {
        if (keys_[i] == key) return values_[i];
    }
    return std::nullopt;
}

std::optional<Element> Entries::present(std::string_view key) const { return unless_null(find(key)); }

std::optional<Element> Entries::object(std::string_view key) const { return if_object(find(key)); }

double to_double(std::string_view object, std::string_view key, Element value) {
    switch (value.type()) {
        case element_type::INT64: return static_cast<double>(value.get_int64().value_unsafe());
        case element_type::UINT64: return static_cast<double>(value.get_uint64().value_unsafe());
        case element_type::DOUBLE: return value.get_double().value_unsafe();
        default: throw ReadError(object, key, "a number", value);
    }
}

std::int32_t to_int32(std::string_view object, std::string_view key, Element value) {
    switch (value.type()) {
        case element_type::INT64: return reduce_to_int32(value.get_int64().value_unsafe());
        case element_type::UINT64: return reduce_to_int32(value.get_uint64().value_unsafe());
        case element_type::DOUBLE: return reduce_to_int32(value.get_double().value_unsafe());
        case element_type::BOOL: return value.get_bool().value_unsafe() ? 1 : 0;
        default: throw ReadError(object, key, "a number", value);
    }
}

std::string_view to_string(std::string_view object, std::string_view key, Element value) {
    if (value.type() != element_type::STRING) throw ReadError(object, key, "a string", value);
    return value.get_string().value_unsafe();
}

bool Fields::read(std::string_view key, double& out) const {
    const auto value = present(key);
    if (!value) return false;
    out = to_double(name_, key, *value);
    return true;
}

bool Fields::read(std::string_view key, std::int32_t& out) const {
    const auto value = present(key);
    if (!value) return false;
    out = to_int32(name_, key, *value);
    return true;
}

bool Fields::read(std::string_view key, bool& out) const {
    const auto value = present(key);
    if (!value) return false;
    if (value->type() != element_type::BOOL) throw ReadError(name_, key, "a boolean", *value);
    out = value->get_bool().value_unsafe();
    return true;
}

bool Fields::read(std::string_view key, std::string& out) const {
    const auto value = present(key);
    if (!value) return false;
    out = to_string(name_, key, *value);
    return true;
}

bool Fields::read_or_clear(std::string_view key, std::string& out) const {
    const auto value = entries_.find(key);
    if (!value) return false;
    if (value->is_null()) {
        out.clear();
        return true;
    }
    out = to_string(name_, key, *value);
    return true;
}

bool Fields::read_switch(std::string_view key, bool& out) const {
    const auto value = present(key);
    if (!value) return false;
    out = to_double(name_, key, *value) > 0.1;
    return true;
}

bool Fields::read_array(std::string_view key, double* out, std::size_t size) const {
    const auto value = present(key);
    if (!value) return false;
    if (value->type() == element_type::ARRAY) {
        std::size_t slot = 0;
        for (Element element : elements_of(*value)) {
            if (slot == size) break;
            out[slot++] = to_double(name_, key, element);
        }
        return true;
    }
    out[0] = to_double(name_, key, *value);
    return true;
}

}  // namespace pemra::json_read
