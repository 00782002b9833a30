// SPDX-License-Identifier: MIT
// Copyright (c) 2026 The pemra_network authors
#include "status_board.h"

#include "json_out.h"

namespace printer_sim::detail {

int StatusBoard::object_index(std::string_view name) {
    auto found = object_by_name_.find(std::string(name));
    if (found != object_by_name_.end()) return found->second;
    const int index = static_cast<int>(objects_.size());
    objects_.push_back(Object{std::string(name), {}, 0});
    object_by_name_.emplace(std::string(name), index);
    return index;
}

void StatusBoard::add_object(std::string_view object) { object_index(object); }

StatusBoard::FieldId StatusBoard::add(std::string_view object, std::string_view field,
                                      std::string_view initial_json) {
    const int obj = object_index(object);
    const int id = static_cast<int>(fields_.size());
    fields_.push_back(Field{obj, std::string(field), std::string(initial_json), 0});
    objects_[static_cast<std::size_t>(obj)].fields.push_back(id);
    return id;
}

std::string& StatusBoard::scratch() {
    scratch_.clear();
    return scratch_;
}

void StatusBoard::commit(FieldId id) { store(id); }

void StatusBoard::store(FieldId id) {
    Field& field = fields_[static_cast<std::size_t>(id)];
    if (field.text == scratch_) return;
    field.text.swap(scratch_);
    field.version = ++version_;
    objects_[static_cast<std::size_t>(field.object)].version = version_;
}

void StatusBoard::set_number(FieldId id, double value) {
    json_out::number(scratch(), value);
    store(id);
}

void StatusBoard::set_rounded(FieldId id, double value, int decimals) {
    json_out::rounded(scratch(), value, decimals);
    store(id);
}

void StatusBoard::set_int(FieldId id, std::int64_t value) {
    json_out::integer(scratch(), value);
    store(id);
}

void StatusBoard::set_bool(FieldId id, bool value) {
    json_out::boolean(scratch(), value);
    store(id);
}

void StatusBoard::set_string(FieldId id, std::string_view value) {
    json_out::string(scratch(), value);
    store(id);
}

void StatusBoard::set_null(FieldId id) {
    scratch() += "null";
    store(id);
}

void StatusBoard::set_numbers(FieldId id, const double* values, std::size_t count, int decimals) {
    std::string& out = scratch();
    out.push_back('[');
    for (std::size_t i = 0; i < count; ++i) {
        if (i) out.push_back(',');
        if (decimals >= 0) {
            json_out::rounded(out, values[i], decimals);
        } else {
            json_out::number(out, values[i]);
        }
    }
    out.push_back(']');
    store(id);
}

void StatusBoard::set_raw(FieldId id, std::string_view json_text) {
    scratch().append(json_text);
    store(id);
}

int StatusBoard::find_object(std::string_view name) const {
    auto found = object_by_name_.find(std::string(name));
    return found == object_by_name_.end() ? -1 : found->second;
}

int StatusBoard::find_field(int object, std::string_view name) const {
    if (object < 0) return -1;
    for (int id : objects_[static_cast<std::size_t>(object)].fields) {
        if (fields_[static_cast<std::size_t>(id)].name == name) return id;
    }
    return -1;
}

void StatusBoard::write_object(std::string& out, int object) const {
    out.push_back('{');
    bool first = true;
    for (int id : objects_[static_cast<std::size_t>(object)].fields) {
        const Field& field = fields_[static_cast<std::size_t>(id)];
        if (!first) out.push_back(',');
        first = false;
        json_out::key(out, field.name);
        out += field.text;
    }
    out.push_back('}');
}

void StatusBoard::write_full(std::string& out, const Subscription& sub) const {
    out.push_back('{');
    bool first = true;
    for (const auto& entry : sub.entries) {
        if (!first) out.push_back(',');
        first = false;
        json_out::key(out, entry.name);
        if (entry.object < 0) {
            out += "{}";
        } else if (entry.all_fields) {
            write_object(out, entry.object);
        } else {
            // Requested fields the object lacks are reported as null, as Klippy does.
            out.push_back('{');
            for (std::size_t i = 0; i < entry.fields.size(); ++i) {
                if (i) out.push_back(',');
                json_out::key(out, entry.field_names[i]);
                const int id = entry.fields[i];
                out += id < 0 ? std::string_view("null") : std::string_view(fields_[static_cast<std::size_t>(id)].text);
            }
            out.push_back('}');
        }
    }
    out.push_back('}');
}

bool StatusBoard::write_changes(std::string& out, const Subscription& sub, std::uint64_t since) const {
    const std::size_t start = out.size();
    out.push_back('{');
    bool any_object = false;
    for (const auto& entry : sub.entries) {
        if (entry.object < 0) continue;
        const Object& object = objects_[static_cast<std::size_t>(entry.object)];
        if (object.version <= since) continue;
        bool any_field = false;
        auto write_field = [&](int id) {
            if (id < 0) return;
            const Field& field = fields_[static_cast<std::size_t>(id)];
            if (field.version <= since) return;
            if (!any_field) {
                if (any_object) out.push_back(',');
                json_out::key(out, entry.name);
                out.push_back('{');
                any_field = any_object = true;
            } else {
                out.push_back(',');
            }
            json_out::key(out, field.name);
            out += field.text;
        };
        if (entry.all_fields) {
            for (int id : object.fields) write_field(id);
        } else {
            for (int id : entry.fields) write_field(id);
        }
        if (any_field) out.push_back('}');
    }
    if (!any_object) {
        out.resize(start);
        return false;
    }
    out.push_back('}');
    return true;
}

Subscription StatusBoard::resolve(const std::vector<SubscriptionRequest>& request) const {
    Subscription sub;
    sub.entries.reserve(request.size());
    for (const auto& wanted : request) {
        Subscription::Entry entry;
        entry.name = wanted.name;
        entry.object = wanted.listed ? find_object(entry.name) : -1;
        entry.all_fields = wanted.all_fields;
        if (!entry.all_fields) {
            entry.field_names = wanted.fields;
            for (const auto& name : entry.field_names) entry.fields.push_back(find_field(entry.object, name));
        }
        sub.entries.push_back(std::move(entry));
    }
    sub.sent_version = version_;
    return sub;
}

}  // namespace printer_sim::detail
