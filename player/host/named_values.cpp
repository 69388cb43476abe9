#include "host/named_values.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace melvox {

named_value_list::entry* named_value_list::find(const char* name)
{
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const entry& e) { return e.name == name; });
    return it == entries_.end() ? nullptr : &*it;
}

const named_value_list::entry* named_value_list::find(const char* name) const
{
    return const_cast<named_value_list*>(this)->find(name);
}

int named_value_list::set(const char* name, player_value_type type, int32_t integer, const char* text)
{
    if (name == nullptr || (type == player_value_string && text == nullptr))
        return error_invalid_parameters;
    try {
        entry* e = find(name);
        if (e != nullptr && e->type != type)
            return error_invalid_variable_type;
        if (e == nullptr) {
            entries_.push_front(entry{name, type, 0, {}});
            e = &entries_.front();
        }
        e->integer = integer;
        if (type == player_value_string)
            e->text = text;
        // Watchers get the stored copy: a watcher may change the list itself.
        std::string stored_name = e->name;
        if (type == player_value_integer) {
            int32_t value = e->integer;
            call_watchers(stored_name, &value);
        } else {
            std::string value = e->text;
            call_watchers(stored_name, value.c_str());
        }
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    return 0;
}

int named_value_list::set_integer(const char* name, int32_t value)
{
    return set(name, player_value_integer, value, nullptr);
}

int named_value_list::set_string(const char* name, const char* value)
{
    return set(name, player_value_string, 0, value);
}

int named_value_list::get_integer(const char* name, int32_t* out) const
{
    if (name == nullptr || out == nullptr)
        return error_invalid_parameters;
    const entry* e = find(name);
    if (e == nullptr)
        return error_no_such_variable;
    if (e->type != player_value_integer)
        return error_invalid_variable_type;
    *out = e->integer;
    return 0;
}

int named_value_list::get_string(const char* name, const char** out) const
{
    if (name == nullptr || out == nullptr)
        return error_invalid_parameters;
    const entry* e = find(name);
    if (e == nullptr)
        return error_no_such_variable;
    if (e->type != player_value_string)
        return error_invalid_variable_type;
    *out = e->text.c_str();
    return 0;
}

int named_value_list::get_string(const char* name, char* buffer, uint32_t size) const
{
    const char* value;
    if (int r = get_string(name, &value); r < 0)
        return r;
    if (buffer == nullptr || size == 0)
        return error_invalid_parameters;
    std::strncpy(buffer, value, size - 1);
    buffer[size - 1] = '\0';
    return 0;
}

int named_value_list::unset(const char* name)
{
    if (name == nullptr)
        return error_invalid_parameters;
    auto it = std::find_if(entries_.begin(), entries_.end(), [&](const entry& e) { return e.name == name; });
    if (it == entries_.end())
        return error_no_such_variable;
    std::string removed = it->name;
    entries_.erase(it);
    call_watchers(removed, nullptr);
    return 0;
}

int named_value_list::watch(const char* name, player_watch_function function, void* user_data, watcher** out)
{
    if (name == nullptr || function == nullptr || out == nullptr)
        return error_invalid_parameters;
    try {
        watchers_.push_back(watcher{name, function, user_data});
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    *out = &watchers_.back();
    return 0;
}

int named_value_list::watch_handle(const char* name, player_watch_function function, void* user_data, void** out)
{
    if (out == nullptr)
        return error_invalid_parameters;
    watcher* w = nullptr;
    int r = watch(name, function, user_data, &w);
    if (r >= 0)
        *out = w;
    return r;
}

int named_value_list::unwatch(watcher* w)
{
    if (w == nullptr)
        return error_invalid_parameters;
    auto it = std::find_if(watchers_.begin(), watchers_.end(), [&](const watcher& x) { return &x == w; });
    if (it == watchers_.end())
        return error_invalid_parameters; // not one of this list's watchers
    watchers_.erase(it);
    return 0;
}

void named_value_list::call_watchers(const std::string& name, const void* value) const
{
    // A watcher may watch or unwatch while it runs: call a snapshot.
    std::vector<watcher> matching;
    for (const watcher& w : watchers_)
        if (w.name == name)
            matching.push_back(w);
    for (const watcher& w : matching)
        w.function(w.user_data, name.c_str(), value);
}

int named_value_list::list(int32_t* count, const player_property** entries)
{
    if (count == nullptr || entries == nullptr)
        return error_invalid_parameters;
    try {
        listing_.clear();
        for (const entry& e : entries_) {
            player_property p{};
            p.name = e.name.c_str();
            p.type = e.type;
            if (e.type == player_value_integer)
                p.value.integer = e.integer;
            else
                p.value.string = e.text.c_str();
            listing_.push_back(p);
        }
    } catch (const std::bad_alloc&) {
        return error_out_of_memory;
    }
    *count = static_cast<int32_t>(listing_.size());
    *entries = listing_.empty() ? nullptr : listing_.data();
    return 0;
}

void named_value_list::clear()
{
    entries_.clear();
    listing_.clear();
}

} // namespace melvox
