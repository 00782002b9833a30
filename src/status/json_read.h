// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The reading rules every reader of printer JSON shares:
// - a field counts only when it is present and not null; others leave their
//   member unchanged;
// - where a key occurs twice in one object, the last one counts;
// - values are converted by the type of the member they go to:
//     double  from any number
//     int32   from any number or boolean: integers keep their low 32 bits
//             read as signed, fractions are truncated toward zero, and
//             floating-point values are reduced modulo 2^32 the same way
//             (non-finite values give 0)
//     bool    from booleans only
//     string  from strings only
//   anything else is a ReadError naming the object and the field;
// - fixed arrays fill from the front; surplus elements are ignored and a
//   lone number fills slot 0.
// Readers work on elements of a parsed frame, which live until the frame's
// parser parses the next one: nothing is copied out of the document except
// into the members the values go to.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <simdjson.h>

namespace pemra::json_read {

using Element = simdjson::dom::element;

// A field of the wrong type. The message names the object, the field and
// what was found.
class ReadError : public std::runtime_error {
public:
    ReadError(std::string_view object, std::string_view field, std::string_view expected, Element found);
};

// "null", "boolean", "number", "string", "array" or "object".
std::string_view type_name(Element value);

// The int32 rule above.
std::int32_t reduce_to_int32(std::int64_t value);
std::int32_t reduce_to_int32(std::uint64_t value);
std::int32_t reduce_to_int32(double value);

inline bool is_integer(Element value) { return value.is_int64() || value.is_uint64(); }

// The elements of an array (the caller has checked the type). Held by value:
// the library's accessors return a temporary that a range-for must not bind.
inline simdjson::dom::array elements_of(Element array) { return array.get_array().value_unsafe(); }

// The value of `key` in `object` when `object` is an object holding it.
std::optional<Element> find(Element object, std::string_view key);

// The value of `key` in `object` when it is present and not null.
std::optional<Element> present(Element object, std::string_view key);

// `key` of `status` when it is an object.
std::optional<Element> object_entry(Element status, std::string_view key);

// The last element of `array` when it is a non-empty array.
std::optional<Element> last_element(Element array);

// One object of printer JSON, read field by field with the rules above.
class Fields {
public:
    Fields(Element object, std::string_view object_name) : object_(object), name_(object_name) {}

    // Each returns true when the member was written.
    bool read(std::string_view key, double& out) const;
    bool read(std::string_view key, std::int32_t& out) const;
    bool read(std::string_view key, bool& out) const;
    bool read(std::string_view key, std::string& out) const;
    // Like read, but a null value empties the member.
    bool read_or_clear(std::string_view key, std::string& out) const;
    // An output switch: the number "value" > 0.1.
    bool read_switch(std::string_view key, bool& out) const;
    template <std::size_t N>
    bool read(std::string_view key, double (&out)[N]) const {
        return read_array(key, out, N);
    }

    std::optional<Element> present(std::string_view key) const { return json_read::present(object_, key); }

    double to_double(std::string_view key, Element value) const;
    std::int32_t to_int32(std::string_view key, Element value) const;
    std::string_view to_string(std::string_view key, Element value) const;

private:
    bool read_array(std::string_view key, double* out, std::size_t size) const;

    Element object_;
    std::string_view name_;
};

}  // namespace pemra::json_read
