// The registered modules of one kind, and the checks that a table passes
// before it is registered.
#pragma once

#include "melvox_modules.h"

#include <memory>
#include <vector>

namespace melvox {

// Entries keep their ids for the registry's whole life: ids count up from 0
// in registration order and the entries are linked newest first.
class module_registry {
public:
    module_registry() = default;
    module_registry(const module_registry&) = delete;
    module_registry& operator=(const module_registry&) = delete;

    // Copies the entry's table into a new entry at the head; returns its id.
    int add(const module_entry& filled);

    // The newest entry; follow next for older ones.
    const module_entry* newest() const { return entries_.empty() ? nullptr : entries_.back().get(); }
    // The entry with this id, or null.
    const module_entry* find(int id) const;
    int count() const { return static_cast<int>(entries_.size()); }

private:
    std::vector<std::unique_ptr<module_entry>> entries_; // by id
};

// The name of the method that a table lacks, or null when it has every
// required one. Required, in the order checked: input and output modules
// new, delete, open, close and read or write; codecs query, probe, new,
// delete and decode; feedback handlers probe, query, new, delete and event.
const char* missing_input_method(const input_module& table);
const char* missing_output_method(const output_module& table);
const char* missing_codec_method(const codec_module& table);
bool has_feedback_handler_methods(const feedback_handler_module& table);

// Whether bits 8..23 of a version word are those of the interface.
bool module_version_matches(uintptr_t version);
bool feedback_handler_version_matches(uintptr_t version);

// What a module without a query method says of itself: one device, named
// "unknown device name", and the module "unknown module name".
int default_module_query(module_info* info, int flags);

} // namespace melvox
