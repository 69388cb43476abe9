#include "decoder/module_system.h"
#include "host/module_description.h"
#include "messages/message_packer.h"

#include <cstring>

namespace melvox {
namespace {

template <typename Table, typename Entry>
int fill_table(Entry entry, Table& table)
{
    if (entry == nullptr)
        return error_invalid_parameters;
    table = Table{};
    return entry(&table);
}

int check_and_add(player_decoder& d, module_registry& registry, uintptr_t version, const char* missing,
                  const module_entry& filled)
{
    if (!module_version_matches(version))
        return error_version_mismatch;
    if (missing != nullptr)
        return d.internal_error(missing);
    return registry.add(filled);
}

const char* text_or_empty(const char* s)
{
    return s != nullptr ? s : "";
}

module_query query_of(const module_entry& e, int kind)
{
    switch (kind) {
    case module_kind_input:
        if (e.table.input.query != nullptr)
            return e.table.input.query;
        break;
    case module_kind_output:
        if (e.table.output.query != nullptr)
            return e.table.output.query;
        break;
    case module_kind_codec:
        return [q = e.table.codec.query](module_info* info, int flags) {
            codec_module_info full{};
            full.info = *info;
            int r = q(&full, flags);
            *info = full.info;
            return r;
        };
    }
    return default_module_query;
}

module_registry* registry_of(player_decoder& d, int kind)
{
    switch (kind) {
    case module_kind_input: return &d.input_modules;
    case module_kind_output: return &d.output_modules;
    case module_kind_codec: return &d.codec_modules;
    default: return nullptr;
    }
}

std::pair<int, int> info_codes(int kind)
{
    switch (kind) {
    case module_kind_input: return {notify_input_module_info, notify_input_device_info};
    case module_kind_output: return {notify_output_module_info, notify_output_device_info};
    default: return {notify_codec_module_info, notify_codec_device_info};
    }
}

} // namespace

int register_input_module(player_decoder& d, input_module_register_function entry)
{
    module_entry e{};
    if (int r = fill_table(entry, e.table.input); r < 0)
        return r;
    return check_and_add(d, d.input_modules, e.table.input.version, missing_input_method(e.table.input), e);
}

int register_output_module(player_decoder& d, output_module_register_function entry)
{
    module_entry e{};
    if (int r = fill_table(entry, e.table.output); r < 0)
        return r;
    return check_and_add(d, d.output_modules, e.table.output.version, missing_output_method(e.table.output), e);
}

int register_codec_module(player_decoder& d, codec_module_register_function entry)
{
    module_entry e{};
    if (int r = fill_table(entry, e.table.codec); r < 0)
        return r;
    return check_and_add(d, d.codec_modules, e.table.codec.version, missing_codec_method(e.table.codec), e);
}

int add_input_filter(player_decoder& d, input_filter_module_register_function entry, int position)
{
    input_filter_module table;
    if (int r = fill_table(entry, table); r < 0)
        return r;
    if (!module_version_matches(table.version))
        return error_version_mismatch;
    return d.input_chain.add(table, position, &d);
}

int add_output_filter(player_decoder& d, output_filter_module_register_function entry, int position)
{
    output_filter_module table;
    if (int r = fill_table(entry, table); r < 0)
        return r;
    if (!module_version_matches(table.version))
        return error_version_mismatch;
    return d.output_chain.add(table, position, &d);
}

int register_entry_point(player_decoder& d, int kind, entry_point entry, int position)
{
    switch (kind) {
    case module_kind_input: return register_input_module(d, reinterpret_cast<input_module_register_function>(entry));
    case module_kind_output: return register_output_module(d, reinterpret_cast<output_module_register_function>(entry));
    case module_kind_codec: return register_codec_module(d, reinterpret_cast<codec_module_register_function>(entry));
    case module_kind_input_filter:
        return add_input_filter(d, reinterpret_cast<input_filter_module_register_function>(entry), position);
    case module_kind_output_filter:
        return add_output_filter(d, reinterpret_cast<output_filter_module_register_function>(entry), position);
    default: return error_invalid_parameters;
    }
}

int load_entry_point(player_decoder& d, int kind, const char* name, entry_point* out)
{
    const char* default_name = default_entry_point_name(kind);
    if (name == nullptr || *name == '\0' || default_name == nullptr)
        return error_invalid_parameters;
    *out = nullptr;
    auto hook = d.loader_hook ? reinterpret_cast<module_loader_hook>(d.loader_hook->function) : nullptr;
    void* user = d.loader_hook ? d.loader_hook->user_data : nullptr;
    if (hook != nullptr) {
        int r = hook(user, kind, 0, &d.channel, &d, out, name, default_name);
        if (r < 0)
            return r;
        if (r == 1)
            return *out != nullptr ? 0 : error_symbol_not_found;
    }
    std::string reason;
    if (int r = resolve_entry_point(name, default_name, out, reason); r < 0) {
        if (!reason.empty())
            d.report(0, error_string(r), reason.c_str());
        return r;
    }
    if (hook != nullptr) {
        if (int r = hook(user, kind, 1, &d.channel, &d, out, name, default_name); r < 0)
            return r;
    }
    return 0;
}

int select_input_module(player_decoder& d, const char* name, int id, const module_entry** out)
{
    name = text_or_empty(name);
    if (id >= 0) {
        *out = d.input_modules.find(id);
        return *out != nullptr ? 0 : error_plugin_module_not_found;
    }
    for (const module_entry* e = d.input_modules.newest(); e != nullptr; e = e->next)
        if (e->table.input.probe != nullptr && e->table.input.probe(name) == 0) {
            *out = e;
            return 0;
        }
    return error_unsupported_input_type;
}

int select_output_module(player_decoder& d, const char* name, int id, const module_entry** out)
{
    name = text_or_empty(name);
    if (id >= 0) {
        *out = d.output_modules.find(id);
        return *out != nullptr ? 0 : error_plugin_module_not_found;
    }
    for (const module_entry* e = d.output_modules.newest(); e != nullptr; e = e->next)
        if (e->table.output.probe != nullptr && e->table.output.probe(name) == 0) {
            *out = e;
            return 0;
        }
    return error_unsupported_output_type;
}

int select_codec_module(player_decoder& d, const char* mime_type, const char* name, int id, const module_entry** out)
{
    // An explicit codec id takes precedence, as the input and output ids do.
    if (id >= 0) {
        *out = d.codec_modules.find(id);
        return *out != nullptr ? 0 : error_plugin_module_not_found;
    }
    if (mime_type == nullptr || *mime_type == '\0')
        mime_type = "audio/unknown";
    name = text_or_empty(name);
    for (const module_entry* e = d.codec_modules.newest(); e != nullptr; e = e->next)
        if (e->table.codec.probe(mime_type, name) == 0) {
            *out = e;
            return 0;
        }
    return error_no_codec_found;
}

int query_module(player_decoder& d, int kind, int id)
{
    module_registry* registry = registry_of(d, kind);
    const module_entry* e = registry != nullptr ? registry->find(id) : nullptr;
    if (e == nullptr)
        return error_plugin_module_not_found;
    auto [info_code, device_code] = info_codes(kind);
    return describe_module(id, query_of(*e, kind), info_code, device_code,
                           [&d](const player_message& m) { return d.notify(m); });
}

int list_modules(player_decoder& d, int kind)
{
    module_registry* registry = registry_of(d, kind);
    if (registry == nullptr)
        return error_invalid_parameters;
    auto [info_code, device_code] = info_codes(kind);
    for (int id = 0; id < registry->count(); ++id)
        describe_module(id, query_of(*registry->find(id), kind), info_code, device_code,
                        [&d](const player_message& m) { return d.notify(m); });
    return 0;
}

int notify_filter(player_decoder& d, int kind, const module_query& query, int id)
{
    module_info info{};
    if (int r = query(&info, query_module_name); r < 0)
        return r;
    terminate_info(info);
    player_message m = make_notify_input_filter_info(info.name, static_cast<int16_t>(id));
    return d.notify(kind == module_kind_input_filter ? m : recoded(m, notify_output_filter_info));
}

int list_filters(player_decoder& d, int kind)
{
    if (kind == module_kind_input_filter)
        d.input_chain.for_each_filter([&](input_filter_node& n) { notify_filter(d, kind, n.table.query, n.id); });
    else
        d.output_chain.for_each_filter([&](output_filter_node& n) { notify_filter(d, kind, n.table.query, n.id); });
    return 0;
}

} // namespace melvox
