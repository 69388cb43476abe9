// The feedback side's handler modules: registering, listing, opening,
// starting, stopping and selecting them.
#include "feedback/feedback_side.h"
#include "host/module_description.h"
#include "host/module_loader.h"

namespace melvox {

int register_handler(feedback_side& f, const char* name)
{
    entry_point entry;
    std::string reason;
    if (int r = resolve_entry_point(name, default_entry_point_name(module_kind_feedback_handler), &entry, reason);
        r < 0)
        return r;
    module_entry e{};
    feedback_handler_module& t = e.table.feedback_handler;
    t = feedback_handler_module{};
    if (int r = reinterpret_cast<feedback_handler_module_register_function>(entry)(&t); r < 0)
        return r;
    if (!feedback_handler_version_matches(t.version))
        return error_version_mismatch;
    if (!has_feedback_handler_methods(t))
        return error_internal;
    return f.handlers.add(e);
}

int list_handlers(feedback_side& f)
{
    for (int id = 0; id < f.handlers.count(); ++id)
        describe_module(id, f.handlers.find(id)->table.feedback_handler.query, notify_feedback_handler_module_info,
                        notify_feedback_handler_device_info,
                        [&f](const player_message& m) { return f.channel.post(m); });
    return 0;
}

static int open_handler(feedback_side& f)
{
    const module_entry* e = nullptr;
    if (f.handler_module >= 0) {
        e = f.handlers.find(f.handler_module);
    } else {
        for (const module_entry* c = f.handlers.newest(); c != nullptr && e == nullptr; c = c->next)
            if (c->table.feedback_handler.probe(f.handler_name.c_str()) == 0)
                e = c;
    }
    if (e == nullptr)
        return error_plugin_module_not_found;
    void* instance = nullptr;
    if (int r = e->table.feedback_handler.new_instance(&instance, f.handler_name.c_str(), e, &f, &f.services); r < 0)
        return r;
    f.handler = e;
    f.instance = instance;
    f.channel.post(make_notify_feedback_handler_module(static_cast<int16_t>(e->id)));
    return 0;
}

int start_handler(feedback_side& f)
{
    if (f.handler == nullptr) {
        if (int r = open_handler(f); r < 0)
            return r;
    }
    if (f.handler->table.feedback_handler.start != nullptr) {
        if (int r = f.handler->table.feedback_handler.start(f.instance); r < 0)
            return r;
    }
    f.running = true;
    f.channel.post(make_notify_feedback_handler_state(0));
    return 0;
}

int stop_handler(feedback_side& f)
{
    int r = 0;
    if (f.handler != nullptr && f.running && f.handler->table.feedback_handler.stop != nullptr)
        r = f.handler->table.feedback_handler.stop(f.instance);
    f.running = false;
    f.channel.post(make_notify_feedback_handler_state(1));
    return r;
}

// Stops (when running) and deletes the handler; its queued events go too.
static void close_handler(feedback_side& f)
{
    if (f.handler == nullptr)
        return;
    if (f.running)
        stop_handler(f);
    f.handler->table.feedback_handler.delete_instance(f.instance);
    f.handler = nullptr;
    f.instance = nullptr;
    f.queue.clear();
}

// Closes the handler and opens the newly selected one, started again when
// the old one ran.
static int reopen_handler(feedback_side& f)
{
    bool was_open = f.handler != nullptr;
    bool was_running = f.running;
    close_handler(f);
    if (was_running)
        return start_handler(f);
    return was_open ? open_handler(f) : 0;
}

int set_handler_name(feedback_side& f, const char* name)
{
    if (f.handler_name == name)
        return 0;
    f.handler_name = name;
    int r = 0;
    if (f.handler_name.empty())
        close_handler(f);
    else
        r = reopen_handler(f);
    f.channel.post(make_notify_feedback_handler_name(f.handler_name.c_str()));
    return r;
}

int set_handler_module(feedback_side& f, int16_t id)
{
    if (id < -1 || id >= f.handlers.count())
        return error_plugin_module_not_found;
    f.handler_module = id;
    return f.running ? reopen_handler(f) : 0;
}

int send_to_handler(feedback_side& f, const player_message& m)
{
    if (f.handler == nullptr)
        return error_internal;
    auto send = f.handler->table.feedback_handler.send_message;
    if (send == nullptr)
        return error_no_such_interface; // a handler that takes no messages
    return send(f.instance, command_feedback_handler_send_message_type(&m),
                command_feedback_handler_send_message_size(&m), command_feedback_handler_send_message_data(&m));
}

void end_handler(feedback_side& f)
{
    // The handler goes without a word, since the decoder side's
    // notify_exited is to be the caller's last notification.
    if (f.handler == nullptr)
        return;
    if (f.running && f.handler->table.feedback_handler.stop != nullptr)
        f.handler->table.feedback_handler.stop(f.instance);
    f.handler->table.feedback_handler.delete_instance(f.instance);
    f.handler = nullptr;
    f.instance = nullptr;
}

} // namespace melvox
