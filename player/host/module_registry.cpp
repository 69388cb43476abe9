#include "host/module_registry.h"

#include <cstring>

namespace melvox {

int module_registry::add(const module_entry& filled)
{
    auto entry = std::make_unique<module_entry>(filled);
    entry->id = count();
    entry->reserved = 0;
    entry->next = entries_.empty() ? nullptr : entries_.back().get();
    entries_.push_back(std::move(entry));
    return entries_.back()->id;
}

const module_entry* module_registry::find(int id) const
{
    if (id < 0 || id >= count())
        return nullptr;
    return entries_[static_cast<size_t>(id)].get();
}

namespace {

// A missing delete is reported with the text of a missing new: both make the
// module unable to hold an instance.
constexpr const char* missing_new = "null 'new' method in module";

// What inputs and outputs both need, in the order of the checks: new,
// delete, open and close, then the transfer method (read or write).
template <typename Table, typename Transfer>
const char* missing_stream_method(const Table& t, Transfer transfer, const char* missing_transfer)
{
    if (t.new_instance == nullptr || t.delete_instance == nullptr)
        return missing_new;
    if (t.open == nullptr)
        return "null 'open' method in module";
    if (t.close == nullptr)
        return "null 'close' method in module";
    return transfer == nullptr ? missing_transfer : nullptr;
}

} // namespace

const char* missing_input_method(const input_module& t)
{
    return missing_stream_method(t, t.read, "null 'read' method in module");
}

const char* missing_output_method(const output_module& t)
{
    return missing_stream_method(t, t.write, "null 'write' method in module");
}

const char* missing_codec_method(const codec_module& t)
{
    if (t.query == nullptr)
        return "null 'query' method";
    if (t.probe == nullptr)
        return "null 'probe' method in module";
    if (t.new_instance == nullptr || t.delete_instance == nullptr)
        return missing_new;
    if (t.decode == nullptr)
        return "null 'decode' method in module";
    return nullptr;
}

bool has_feedback_handler_methods(const feedback_handler_module& t)
{
    return t.probe != nullptr && t.query != nullptr && t.new_instance != nullptr && t.delete_instance != nullptr &&
           t.event != nullptr;
}

bool module_version_matches(uintptr_t version)
{
    return ((version >> 8) & 0xffff) == ((module_interface_version >> 8) & 0xffff);
}

bool feedback_handler_version_matches(uintptr_t version)
{
    return ((version >> 8) & 0xffff) == ((feedback_handler_interface_version >> 8) & 0xffff);
}

int default_module_query(module_info* info, int flags)
{
    if (info == nullptr)
        return error_invalid_parameters;
    if (flags & query_module_name) {
        std::strcpy(info->name, "unknown module name");
        info->description[0] = '\0';
    }
    if (flags & query_device_count)
        info->index = 1;
    if (flags & query_device) {
        if (info->index > 0)
            return error_invalid_parameters;
        info->flags = device_is_pattern;
        std::strcpy(info->name, "unknown device name");
        info->description[0] = '\0';
    }
    return 0;
}

} // namespace melvox
