// Creation of a module's instance that keeps the name it was opened with,
// its registry entry and the decoder that owns it (the file modules, the
// sound devices).
#pragma once

#include "melvox_modules.h"

#include <cstdio>
#include <new>

// Allocates a T for new_instance; a null name is kept as empty (a sound
// device's default).
template <typename T>
int newInstance(void** instance, const char* name, const module_entry* entry, decoder* d)
{
    if (instance == nullptr || d == nullptr)
        return error_invalid_parameters;
    auto created = new (std::nothrow) T{};
    if (created == nullptr)
        return error_out_of_memory;
    try {
        created->name = name != nullptr ? name : "";
    } catch (const std::bad_alloc&) {
        delete created;
        return error_out_of_memory;
    }
    created->entry = entry;
    created->owner = d;
    *instance = created;
    return 0;
}

// Allocates a T for new_instance, refusing an empty name with the decoder's
// "internal error" message; kind names the module ("input" or "output").
template <typename T>
int newNamedInstance(void** instance, const char* name, const module_entry* entry, decoder* d, const char* kind)
{
    if (instance == nullptr || d == nullptr)
        return error_invalid_parameters;
    if (name == nullptr || name[0] == '\0') {
        char text[64];
        std::snprintf(text, sizeof text, "null params or null/empty %s name", kind);
        d->services.report_message(d->services.report_data, entry != nullptr ? entry->id : 0, 0, "internal error",
                                   text);
        return error_invalid_parameters;
    }
    return newInstance<T>(instance, name, entry, d);
}
