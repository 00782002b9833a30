// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The reading rules every reader of printer JSON shares:
// - a field counts only when it is present and not null; others leave their
//   member unchanged;
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
// Readers work on const references: nothing is copied out of the document.

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace pemra::json_read {

using json = nlohmann::json;

// A field of the wrong type. The message names the object, the field and
// what was found.
class ReadError : public std::runtime_error {
public:
    ReadError(std::string_view object, std::string_view field, std::string_view expected, const json& found);
};

// The int32 rule above.
std::int32_t reduce_to_int32(std::int64_t value);
std::int32_t reduce_to_int32(std::uint64_t value);
std::int32_t reduce_to_int32(double value);

// The value of `key` in `object` when it is present and not null.
const json* present(const json& object, std::string_view key);

// `key` of `status` when it is an object.
const json* object_entry(const json& status, std::string_view key);

// One object of printer JSON, read field by field with the rules above.
class Fields {
public:
    Fields(const json& object, std::string_view object_name) : object_(object), name_(object_name) {}

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

    const json* present(std::string_view key) const { return json_read::present(object_, key); }
    std::string_view name() const { return name_; }

    double to_double(std::string_view key, const json& value) const;
    std::int32_t to_int32(std::string_view key, const json& value) const;
    const std::string& to_string(std::string_view key, const json& value) const;

private:
    bool read_array(std::string_view key, double* out, std::size_t size) const;

    const json& object_;
    std::string_view name_;
};

}  // namespace pemra::json_read
