#include "host/filter_chain.h"

namespace melvox {
namespace {

// ---- Pass-throughs: the same method of the next node --------------------

int input_open_next(input_filter_node* n)
{
    return n->next->table.open(n->next);
}
int input_close_next(input_filter_node* n)
{
    return n->next->table.close(n->next);
}
int32_t input_read_next(input_filter_node* n, void* buffer, uint32_t size)
{
    return n->next->table.read(n->next, buffer, size);
}
int input_seek_next(input_filter_node* n, uint32_t offset)
{
    return n->next->table.seek(n->next, offset);
}
uint32_t input_caps_next(input_filter_node* n)
{
    return n->next->table.get_caps(n->next);
}
uint32_t input_size_next(input_filter_node* n)
{
    return n->next->table.get_size(n->next);
}
int input_message_next(input_filter_node* n, int type, uint32_t size, const void* data)
{
    return n->next->table.send_message(n->next, type, size, data);
}

int output_open_next(output_filter_node* n)
{
    return n->next->table.open(n->next);
}
int output_close_next(output_filter_node* n)
{
    return n->next->table.close(n->next);
}
int output_write_next(output_filter_node* n, const void* buffer, uint32_t bytes, int bytes_per_sample, int channels,
                      int rate)
{
    return n->next->table.write(n->next, buffer, bytes, bytes_per_sample, channels, rate);
}
void* output_buffer_next(output_filter_node* n, uint32_t bytes)
{
    return n->next->table.get_buffer(n->next, bytes);
}
int output_set_control_next(output_filter_node* n, const output_control* c, uint32_t mask)
{
    return n->next->table.set_control(n->next, c, mask);
}
int output_get_control_next(output_filter_node* n, output_control* c, uint32_t mask)
{
    return n->next->table.get_control(n->next, c, mask);
}
int output_status_next(output_filter_node* n, uint32_t* delay_ms)
{
    return n->next->table.get_status(n->next, delay_ms);
}
uint32_t output_caps_next(output_filter_node* n)
{
    return n->next->table.get_caps(n->next);
}
int output_message_next(output_filter_node* n, int type, uint32_t size, const void* data)
{
    return n->next->table.send_message(n->next, type, size, data);
}

// ---- The input terminal: the input module of the decoder's input record --

const input_module* input_of(input_filter_node* n, void*& instance)
{
    auto d = static_cast<decoder*>(n->instance);
    instance = d->input.instance;
    return d->input.entry != nullptr && instance != nullptr ? &d->input.entry->table.input : nullptr;
}

int input_module_open(input_filter_node* n)
{
    void* i;
    const input_module* m = input_of(n, i);
    return m != nullptr ? m->open(i) : error_internal;
}

int input_module_close(input_filter_node* n)
{
    void* i;
    const input_module* m = input_of(n, i);
    return m != nullptr ? m->close(i) : error_internal;
}

int32_t input_module_read(input_filter_node* n, void* buffer, uint32_t size)
{
    void* i;
    const input_module* m = input_of(n, i);
    return m != nullptr ? m->read(i, buffer, size) : error_internal;
}

// An optional method of the module behind a terminal: error_internal when
// there is no module, error_no_such_interface when it lacks the method.
template <typename Module, typename Method, typename... Args>
int call_optional(const Module* m, Method Module::*method, Args... args)
{
    if (m == nullptr)
        return error_internal;
    return m->*method != nullptr ? (m->*method)(args...) : error_no_such_interface;
}

// Optional methods: a module without seek cannot seek, nor take messages;
// caps and size read as 0.
int input_module_seek(input_filter_node* n, uint32_t offset)
{
    void* i;
    const input_module* m = input_of(n, i);
    return call_optional(m, &input_module::seek, i, offset);
}

uint32_t input_module_caps(input_filter_node* n)
{
    void* i;
    const input_module* m = input_of(n, i);
    return m != nullptr && m->get_caps != nullptr ? m->get_caps(i) : 0;
}

uint32_t input_module_size(input_filter_node* n)
{
    void* i;
    const input_module* m = input_of(n, i);
    return m != nullptr && m->get_size != nullptr ? m->get_size(i) : 0;
}

int input_module_message(input_filter_node* n, int type, uint32_t size, const void* data)
{
    void* i;
    const input_module* m = input_of(n, i);
    return call_optional(m, &input_module::send_message, i, type, size, data);
}

// ---- The output terminal: the module of a module_binding ----------------

const output_module* output_of(output_filter_node* n, void*& instance)
{
    auto b = static_cast<module_binding*>(n->instance);
    instance = b->instance;
    return b->entry != nullptr && instance != nullptr ? &b->entry->table.output : nullptr;
}

int output_module_open(output_filter_node* n)
{
    void* i;
    const output_module* m = output_of(n, i);
    return m != nullptr ? m->open(i) : error_internal;
}

int output_module_close(output_filter_node* n)
{
    void* i;
    const output_module* m = output_of(n, i);
    return m != nullptr ? m->close(i) : error_internal;
}

int output_module_write(output_filter_node* n, const void* buffer, uint32_t bytes, int bytes_per_sample, int channels,
                        int rate)
{
    void* i;
    const output_module* m = output_of(n, i);
    return m != nullptr ? m->write(i, buffer, bytes, bytes_per_sample, channels, rate) : error_internal;
}

// An output without these methods hands out no buffer, has nothing to
// control (so a control request changes nothing and is no failure), reports
// no status or caps and refuses messages.
void* output_module_buffer(output_filter_node* n, uint32_t bytes)
{
    void* i;
    const output_module* m = output_of(n, i);
    return m != nullptr && m->get_buffer != nullptr ? m->get_buffer(i, bytes) : nullptr;
}

int output_module_set_control(output_filter_node* n, const output_control* c, uint32_t mask)
{
    void* i;
    const output_module* m = output_of(n, i);
    if (m == nullptr)
        return error_internal;
    return m->set_control != nullptr ? m->set_control(i, c, mask) : 0;
}

int output_module_get_control(output_filter_node* n, output_control* c, uint32_t mask)
{
    void* i;
    const output_module* m = output_of(n, i);
    return call_optional(m, &output_module::get_control, i, c, mask);
}

int output_module_status(output_filter_node* n, uint32_t* delay_ms)
{
    void* i;
    const output_module* m = output_of(n, i);
    return call_optional(m, &output_module::get_status, i, delay_ms);
}

uint32_t output_module_caps(output_filter_node* n)
{
    void* i;
    const output_module* m = output_of(n, i);
    return m != nullptr && m->get_caps != nullptr ? m->get_caps(i) : 0;
}

int output_module_message(output_filter_node* n, int type, uint32_t size, const void* data)
{
    void* i;
    const output_module* m = output_of(n, i);
    return call_optional(m, &output_module::send_message, i, type, size, data);
}

template <typename T>
void fill(T& slot, T pass_through)
{
    if (slot == nullptr)
        slot = pass_through;
}

} // namespace

void fill_pass_through(input_filter_module& t)
{
    fill(t.open, input_open_next);
    fill(t.close, input_close_next);
    fill(t.read, input_read_next);
    fill(t.seek, input_seek_next);
    fill(t.get_caps, input_caps_next);
    fill(t.get_size, input_size_next);
    fill(t.send_message, input_message_next);
}

void fill_pass_through(output_filter_module& t)
{
    fill(t.open, output_open_next);
    fill(t.close, output_close_next);
    fill(t.write, output_write_next);
    fill(t.get_buffer, output_buffer_next);
    fill(t.set_control, output_set_control_next);
    fill(t.get_control, output_get_control_next);
    fill(t.get_status, output_status_next);
    fill(t.get_caps, output_caps_next);
    fill(t.send_message, output_message_next);
}

const input_filter_module& input_terminal_table()
{
    static const input_filter_module table = {
        module_interface_version, nullptr,           nullptr,           nullptr,           input_module_open,
        input_module_close,       input_module_read, input_module_seek, input_module_caps, input_module_size,
        input_module_message};
    return table;
}

const output_filter_module& output_terminal_table()
{
    static const output_filter_module table = {module_interface_version,
                                               nullptr,
                                               nullptr,
                                               nullptr,
                                               output_module_open,
                                               output_module_close,
                                               output_module_write,
                                               output_module_buffer,
                                               output_module_set_control,
                                               output_module_get_control,
                                               output_module_status,
                                               output_module_caps,
                                               output_module_message};
    return table;
}

} // namespace melvox
