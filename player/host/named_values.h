// A list of named integer and string values with watchers: the player's
// environment (settings that modules read) and each stream's property list.
#pragma once

#include "melvox.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

namespace melvox {

class named_value_list {
public:
    struct watcher {
        std::string name;
        player_watch_function function;
        void* user_data;
    };

    // Creates or updates an entry, then calls the name's watchers. An entry
    // of the other type is error_invalid_variable_type and stays unchanged.
    int set_integer(const char* name, int32_t value);
    int set_string(const char* name, const char* value);

    // A missing name is error_no_such_variable, an entry of the other type
    // error_invalid_variable_type; *out is written only on success. The
    // string stays valid until the entry changes.
    int get_integer(const char* name, int32_t* out) const;
    int get_string(const char* name, const char** out) const;
    // The same, copied into a caller's buffer of size bytes (cut to fit,
    // always NUL-terminated); a null buffer or size 0 is
    // error_invalid_parameters once the entry is found.
    int get_string(const char* name, char* buffer, uint32_t size) const;

    // Calls the name's watchers with a null value, then removes the entry.
    int unset(const char* name);

    int watch(const char* name, player_watch_function function, void* user_data, watcher** out);
    // A null or unknown watcher is error_invalid_parameters.
    int unwatch(watcher* w);
    // The same with the watcher as the opaque handle that the services of
    // the decoder and of the feedback side hand out.
    int watch_handle(const char* name, player_watch_function function, void* user_data, void** out);
    int unwatch_handle(void* handle) { return unwatch(static_cast<watcher*>(handle)); }

    // Lists the entries newest first into an array that stays valid until
    // the next listing or change.
    int list(int32_t* count, const player_property** entries);

    void clear();
    bool empty() const { return entries_.empty(); }

private:
    struct entry {
        std::string name;
        player_value_type type;
        int32_t integer;
        std::string text;
    };

    entry* find(const char* name);
    const entry* find(const char* name) const;
    int set(const char* name, player_value_type type, int32_t integer, const char* text);
    void call_watchers(const std::string& name, const void* value) const;

    std::list<entry> entries_; // newest first
    std::list<watcher> watchers_;
    std::vector<player_property> listing_;
};

} // namespace melvox
