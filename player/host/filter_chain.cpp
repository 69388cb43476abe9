#include "host/filter_chain.h"

namespace melvox {
namespace {

// ---- Pass-throughs: the same method of the next node --------------------

template <auto method, typename Node, typename... Args>
auto pass_on(Node* n, Args... args)
{
    return (n->next->table.*method)(n->next, args...);
}

// ---- Terminals: the module itself, with its instance ----------------------

// The input terminal's node holds the decoder, whose input record names the
// module; the output terminal's holds a module_binding.
const input_module* module_of(input_filter_node* n, void*& instance)
{
    auto d = static_cast<decoder*>(n->instance);
    instance = d->input.instance;
    return d->input.entry != nullptr && instance != nullptr ? &d->input.entry->table.input : nullptr;
}

const output_module* module_of(output_filter_node* n, void*& instance)
{
    auto b = static_cast<module_binding*>(n->instance);
    instance = b->instance;
    return b->entry != nullptr && instance != nullptr ? &b->entry->table.output : nullptr;
}

// A method that every module has: error_internal when there is no module.
template <auto method, typename Node, typename... Args>
int required_method(Node* n, Args... args)
{
    void* i;
    auto m = module_of(n, i);
    return m != nullptr ? (m->*method)(i, args...) : error_internal;
}

// What a method slot of a table returns.
template <typename Slot>
struct slot_result;
template <typename Table, typename Result, typename... Args>
struct slot_result<Result (*Table::*)(Args...)> {
    using type = Result;
};

// A method that a module may leave out: without a module the answer is
// no_module, without the method absent.
template <auto method, auto no_module, auto absent, typename Node, typename... Args>
auto optional_method(Node* n, Args... args) -> typename slot_result<decltype(method)>::type
{
    void* i;
    auto m = module_of(n, i);
    if (m == nullptr)
        return no_module;
    return m->*method != nullptr ? (m->*method)(i, args...) : absent;
}

// An input without seek cannot seek, nor take messages; its caps and size
// read as 0.
const input_filter_module input_terminal = {
    .version = module_interface_version,
    .query = nullptr, // the terminal is no filter: nothing to describe, make or delete
    .new_instance = nullptr,
    .delete_instance = nullptr,
    .open = required_method<&input_module::open>,
    .close = required_method<&input_module::close>,
    .read = required_method<&input_module::read>,
    .seek = optional_method<&input_module::seek, error_internal, error_no_such_interface>,
    .get_caps = optional_method<&input_module::get_caps, 0u, 0u>,
    .get_size = optional_method<&input_module::get_size, 0u, 0u>,
    .send_message = optional_method<&input_module::send_message, error_internal, error_no_such_interface>};

// An output without these methods hands out no buffer, has nothing to
// control (so a control request changes nothing and is no failure), reports
// no status or caps and refuses messages.
const output_filter_module output_terminal = {
    .version = module_interface_version,
    .query = nullptr,
    .new_instance = nullptr,
    .delete_instance = nullptr,
    .open = required_method<&output_module::open>,
    .close = required_method<&output_module::close>,
    .write = required_method<&output_module::write>,
    .get_buffer = optional_method<&output_module::get_buffer, nullptr, nullptr>,
    .set_control = optional_method<&output_module::set_control, error_internal, 0>,
    .get_control = optional_method<&output_module::get_control, error_internal, error_no_such_interface>,
    .get_status = optional_method<&output_module::get_status, error_internal, error_no_such_interface>,
    .get_caps = optional_method<&output_module::get_caps, 0u, 0u>,
    .send_message = optional_method<&output_module::send_message, error_internal, error_no_such_interface>};

template <typename T>
void fill(T& slot, T pass_through)
{
    if (slot == nullptr)
        slot = pass_through;
}

} // namespace

void fill_pass_through(input_filter_module& t)
{
    fill(t.open, pass_on<&input_filter_module::open>);
    fill(t.close, pass_on<&input_filter_module::close>);
    fill(t.read, pass_on<&input_filter_module::read>);
    fill(t.seek, pass_on<&input_filter_module::seek>);
    fill(t.get_caps, pass_on<&input_filter_module::get_caps>);
    fill(t.get_size, pass_on<&input_filter_module::get_size>);
    fill(t.send_message, pass_on<&input_filter_module::send_message>);
}

void fill_pass_through(output_filter_module& t)
{
    fill(t.open, pass_on<&output_filter_module::open>);
    fill(t.close, pass_on<&output_filter_module::close>);
    fill(t.write, pass_on<&output_filter_module::write>);
    fill(t.get_buffer, pass_on<&output_filter_module::get_buffer>);
    fill(t.set_control, pass_on<&output_filter_module::set_control>);
    fill(t.get_control, pass_on<&output_filter_module::get_control>);
    fill(t.get_status, pass_on<&output_filter_module::get_status>);
    fill(t.get_caps, pass_on<&output_filter_module::get_caps>);
    fill(t.send_message, pass_on<&output_filter_module::send_message>);
}

const input_filter_module& input_terminal_table()
{
    return input_terminal;
}

const output_filter_module& output_terminal_table()
{
    return output_terminal;
}

} // namespace melvox
