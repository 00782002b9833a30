// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#pragma once

// The printer objects' status as JSON text, field by field, with a version
// per field so each client can be sent only what changed since its last frame.
//
// Every field keeps its value already written as JSON. A setter writes the new
// value into a scratch buffer, compares the texts and, when they differ, swaps
// the buffers and stamps the field with a new version. In steady state no
// setter and no frame writer allocates.
//
// Not thread-safe: owned and used by one printer on its io thread.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace printer_sim::detail {

// What one client subscribed to, resolved against a board.
struct Subscription {
    struct Entry {
        std::string name;
        int object = -1;                      // -1: not an object of the board (reports {})
        bool all_fields = true;               // null in the request: every field
        std::vector<std::string> field_names; // when !all_fields, as requested
        std::vector<int> fields;              // matching field ids, -1 for unknown names
    };
    std::vector<Entry> entries;
    std::uint64_t sent_version = 0;  // the board's version when this client was last sent status
};

// One object of a printer.objects.subscribe request.
struct SubscriptionRequest {
    std::string name;
    bool all_fields = true;           // the request named null
    std::vector<std::string> fields;  // otherwise these
    bool listed = true;               // the object is in the printer's object list
};

class StatusBoard {
public:
    using FieldId = int;

    // Registers a field (and its object on first use). Registration order is
    // the order fields are written in.
    FieldId add(std::string_view object, std::string_view field, std::string_view initial_json = "null");
    // An object without fields (a macro without variables reports {}).
    void add_object(std::string_view object);

    void set_number(FieldId id, double value);
    void set_rounded(FieldId id, double value, int decimals);
    void set_int(FieldId id, std::int64_t value);
    void set_bool(FieldId id, bool value);
    void set_string(FieldId id, std::string_view value);
    void set_null(FieldId id);
    void set_numbers(FieldId id, const double* values, std::size_t count, int decimals = -1);
    void set_raw(FieldId id, std::string_view json_text);
    // For values built in place: write into scratch() (it is cleared here),
    // then commit(id).
    std::string& scratch();
    void commit(FieldId id);

    std::uint64_t version() const { return version_; }
    int find_object(std::string_view name) const;
    int find_field(int object, std::string_view name) const;
    const std::string& field_text(FieldId id) const { return fields_[static_cast<std::size_t>(id)].text; }

    // {"name":{full state},...} for every entry.
    void write_full(std::string& out, const Subscription& sub) const;
    // {"name":{changed fields},...} with the fields changed after `since`;
    // false (and nothing written) when none changed.
    bool write_changes(std::string& out, const Subscription& sub, std::uint64_t since) const;
    // The full state of one object: {...}.
    void write_object(std::string& out, int object) const;

    // Resolves the requested objects; `listed` false makes an object report {}
    // even when the board models it (it is missing from the object list).
    Subscription resolve(const std::vector<SubscriptionRequest>& request) const;

private:
    struct Field {
        int object = 0;
        std::string name;
        std::string text;          // the value as JSON
        std::uint64_t version = 0; // board version of its last change
    };
    struct Object {
        std::string name;
        std::vector<int> fields;
        std::uint64_t version = 0;  // newest version among its fields
    };

    int object_index(std::string_view name);
    void store(FieldId id);  // compares scratch_ with the field, takes it when different

    std::vector<Field> fields_;
    std::vector<Object> objects_;
    std::unordered_map<std::string, int> object_by_name_;
    std::string scratch_;
    std::uint64_t version_ = 0;
};

}  // namespace printer_sim::detail
