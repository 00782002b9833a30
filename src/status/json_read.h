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

// `value`, the field `key` of the object called `object`, converted by the
// rules above; a ReadError when it has the wrong type.
double to_double(std::string_view object, std::string_view key, Element value);
std::int32_t to_int32(std::string_view object, std::string_view key, Element value);
std::string_view to_string(std::string_view object, std::string_view key, Element value);

// The value of `key` in `object` when `object` is an object holding it.
std::optional<Element> find(Element object, std::string_view key);

// The value of `key` in `object` when it is present and not null.
std::optional<Element> present(Element object, std::string_view key);

// `key` of `status` when it is an object.
std::optional<Element> object_entry(Element status, std::string_view key);

// The last element of `array` when it is a non-empty array.
std::optional<Element> last_element(Element array);

// The entries of one object, gathered in one walk of the document, for
// looking up many keys of it: a lookup compares the keys found instead of
// walking the object again (one walk per key made reading a status frame's
// readers the network thread's largest cost). Of a repeated key the last
// one counts. An object with more entries than fit here is looked up in the
// document instead; nothing that is not an object has entries.
class Entries {
public:
    explicit Entries(Element object);

    std::optional<Element> find(std::string_view key) const;
    // Present and not null.
    std::optional<Element> present(std::string_view key) const;
    // Present and an object.
    std::optional<Element> object(std::string_view key) const;

private:
    static constexpr std::size_t kCapacity = 24;

    Element object_;
    bool gathered_ = true;  // false: too many entries, look up in object_
    std::size_t count_ = 0;
    std::string_view keys_[kCapacity];
    Element values_[kCapacity];
};

// One object of printer JSON, read field by field with the rules above.
class Fields {
public:
    Fields(Element object, std::string_view object_name) : entries_(object), name_(object_name) {}

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

    std::optional<Element> present(std::string_view key) const { return entries_.present(key); }

private:
    bool read_array(std::string_view key, double* out, std::size_t size) const;

    Entries entries_;
    std::string_view name_;
};

}  // namespace pemra::json_read
