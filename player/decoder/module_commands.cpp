// Commands that load modules and filters and talk to them.
#include "decoder/commands.h"
#include "decoder/module_system.h"

namespace melvox {

int register_module_named(player_decoder& d, int kind, const char* name)
{
    entry_point entry;
    if (int r = load_entry_point(d, kind, name, &entry); r < 0)
        return r;
    return register_entry_point(d, kind, entry, 0);
}

int add_filter_named(player_decoder& d, int kind, const char* name, int position)
{
    entry_point entry;
    if (int r = load_entry_point(d, kind, name, &entry); r < 0)
        return r;
    int id = register_entry_point(d, kind, entry, position);
    if (id < 0)
        return id;
    // The new node lies somewhere in the chain: find it by its id.
    module_query query;
    if (kind == module_kind_input_filter)
        d.input_chain.for_each_filter([&](input_filter_node& n) {
            if (n.id == id)
                query = n.table.query;
        });
    else
        d.output_chain.for_each_filter([&](output_filter_node& n) {
            if (n.id == id)
                query = n.table.query;
        });
    notify_filter(d, kind, query, id);
    return id;
}

int remove_filter(player_decoder& d, int kind, const char* name, int id)
{
    if (kind == module_kind_input_filter)
        return d.input_chain.remove(name, id);
    return d.output_chain.remove(name, id);
}

int send_to_input(player_decoder& d, int type, uint32_t size, const void* data)
{
    if (d.input.instance == nullptr)
        return d.internal_error("null input module");
    input_filter_node* head = d.input_chain.head();
    return head->table.send_message(head, type, size, data);
}

int send_to_output(player_decoder& d, int type, uint32_t size, const void* data)
{
    if (d.output.module.instance == nullptr)
        return d.internal_error("null output instance");
    output_filter_node* head = d.output_chain.head();
    return head->table.send_message(head, type, size, data);
}

} // namespace melvox
