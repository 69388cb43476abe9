// The feedback side: its own environment, the feedback handler modules, and
// the queue of time-stamped events that it delivers to the running handler
// when their time comes.
#include "feedback_queue.h"
#include "message_packer.h"
#include "module_loader.h"
#include "module_registry.h"
#include "module_system.h"
#include "named_values.h"
#include "sides.h"

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

struct feedback_side {
    explicit feedback_side(player_channel& c) : channel(c) {}

    player_channel& channel;
    melvox::named_value_list environment;
    melvox::module_registry handlers;
    feedback_services services{};

    std::string handler_name;
    int16_t handler_module = -1; // -1: chosen by name
    const module_entry* handler = nullptr;
    void* instance = nullptr;
    bool running = false;

    melvox::feedback_queue queue;
    bool paused = false;
    int64_t paused_at_us = 0;
};

namespace melvox {
namespace {

// Events are delivered this early, and the side wakes this much before one.
constexpr int64_t delivery_slack_us = 3000;
constexpr int64_t wake_early_us = 1000;

int64_t now_us()
{
    auto since_epoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(since_epoch).count();
}

int64_t time_of(const player_message& m)
{
    return int64_t{player_message_word(&m, 4)} * 1000000 + player_message_word(&m, 8);
}

feedback_side& of(::feedback_side* side)
{
    return *side;
}

int copy_out(const char* value, char* buffer, uint32_t size)
{
    if (buffer == nullptr || size == 0)
        return error_invalid_parameters;
    std::strncpy(buffer, value, size - 1);
    buffer[size - 1] = '\0';
    return 0;
}

// ---- Services for handlers ----------------------------------------------

int service_get_integer(::feedback_side* s, const char* name, int32_t* value)
{
    return s == nullptr ? error_invalid_parameters : of(s).environment.get_integer(name, value);
}

int service_get_string(::feedback_side* s, const char* name, char* buffer, uint32_t size)
{
    if (s == nullptr)
        return error_invalid_parameters;
    const char* value;
    if (int r = of(s).environment.get_string(name, &value); r < 0)
        return r;
    return copy_out(value, buffer, size);
}

int service_watch(::feedback_side* s, const char* name, player_watch_function f, void* user, void** watcher)
{
    if (s == nullptr || watcher == nullptr)
        return error_invalid_parameters;
    named_value_list::watcher* w = nullptr;
    int r = of(s).environment.watch(name, f, user, &w);
    if (r >= 0)
        *watcher = w;
    return r;
}

int service_unwatch(::feedback_side* s, void* watcher)
{
    return s == nullptr ? error_invalid_parameters
                        : of(s).environment.unwatch(static_cast<named_value_list::watcher*>(watcher));
}

int service_post(::feedback_side* s, const player_message* m)
{
    return s == nullptr || m == nullptr ? error_invalid_parameters : of(s).channel.post(*m);
}

// ---- Notifications --------------------------------------------------------

int post_small(feedback_side& f, int code, unsigned offset, int width, uint32_t value)
{
    player_message m{};
    m.code = static_cast<uint32_t>(code);
    if (width == 1)
        player_message_set_byte(&m, offset, static_cast<uint8_t>(value));
    else
        player_message_set_half(&m, offset, static_cast<uint16_t>(value));
    return f.channel.post(m);
}

// ---- Handlers ---------------------------------------------------------------

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

int open_handler(feedback_side& f)
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
    post_small(f, notify_feedback_handler_module, 4, 2, static_cast<uint32_t>(e->id));
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
    post_small(f, notify_feedback_handler_state, 4, 1, 0);
    return 0;
}

int stop_handler(feedback_side& f)
{
    int r = 0;
    if (f.handler != nullptr && f.running && f.handler->table.feedback_handler.stop != nullptr)
        r = f.handler->table.feedback_handler.stop(f.instance);
    f.running = false;
    post_small(f, notify_feedback_handler_state, 4, 1, 1);
    return r;
}

// Stops (when running) and deletes the handler; its queued events go too.
void close_handler(feedback_side& f)
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
int reopen_handler(feedback_side& f)
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
    player_message m{};
    m.code = notify_feedback_handler_name;
    player_message_set_pointer(&m, 4, f.handler_name.c_str());
    f.channel.post(m);
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
        return -1;
    return send(f.instance, static_cast<int16_t>(player_message_half(&m, 4)), player_message_word(&m, 12),
                player_message_pointer(&m, 8));
}

// ---- Events ---------------------------------------------------------------

void queue_pcm(feedback_side& f, const player_message& m)
{
    if (f.handler == nullptr)
        return; // only an open handler gets events
    auto block = static_cast<const int8_t*>(player_message_pointer(&m, 20));
    uint16_t channels = player_message_half(&m, 16);
    uint16_t samples = player_message_half(&m, 18);
    queued_event& e = f.queue.insert(time_of(m));
    e.type = feedback_event_pcm;
    e.sample_rate = player_message_word(&m, 12);
    e.channels = channels;
    e.samples_per_channel = samples;
    if (block != nullptr)
        e.data.assign(block, block + size_t{channels} * samples);
    else
        e.data.assign(size_t{channels} * samples, 0);
}

void queue_user(feedback_side& f, const player_message& m)
{
    if (f.handler == nullptr)
        return;
    // The first word is the event's time in whole seconds.
    queued_event& e = f.queue.insert(int64_t{player_message_word(&m, 4)} * 1000000);
    e.type = feedback_event_user;
    e.data.clear();
    e.user[0] = player_message_word(&m, 4);
    e.user[1] = player_message_word(&m, 8);
    e.user[2] = player_message_word(&m, 12);
}

// Takes every event whose time has come; the first of them goes to the
// running handler, the rest (already late) are dropped.
void deliver(feedback_side& f)
{
    int64_t limit = now_us() + delivery_slack_us;
    bool first = true;
    while (!f.queue.empty() && f.queue.earliest().time_us <= limit) {
        const queued_event& q = f.queue.earliest();
        if (first && f.running && f.handler != nullptr) {
            feedback_event e{};
            e.seconds = static_cast<uint32_t>(q.time_us / 1000000);
            e.microseconds = static_cast<uint32_t>(q.time_us % 1000000);
            e.sample_rate = q.sample_rate;
            e.channels = q.channels;
            e.samples_per_channel = q.samples_per_channel;
            e.data = q.data.empty() ? nullptr : q.data.data();
            e.type = q.type;
            std::copy(std::begin(q.user), std::end(q.user), e.user);
            f.handler->table.feedback_handler.event(f.instance, &e);
        }
        first = false;
        f.queue.drop_earliest();
    }
}

// How long to wait for the next message: until just before the earliest
// event, or without limit when there is nothing to deliver.
long long wait_us(const feedback_side& f)
{
    if (f.queue.empty() || f.paused)
        return -1;
    return std::max<int64_t>(0, f.queue.earliest().time_us - now_us() - wake_early_us);
}

// ---- Dispatch -------------------------------------------------------------

int notify_value(feedback_side& f, int code, const char* name, const player_message& value_source)
{
    player_message m = value_source;
    m.code = static_cast<uint32_t>(code);
    player_message_set_pointer(&m, 4, name);
    return f.channel.post(m);
}

int get_integer(feedback_side& f, const char* name)
{
    int32_t value;
    if (int r = f.environment.get_integer(name, &value); r < 0)
        return r;
    player_message m{};
    player_message_set_word(&m, 8, static_cast<uint32_t>(value));
    return notify_value(f, notify_feedback_environment_integer, name, m);
}

int get_string(feedback_side& f, const char* name)
{
    const char* value;
    if (int r = f.environment.get_string(name, &value); r < 0)
        return r;
    player_message m{};
    player_message_set_pointer(&m, 8, value);
    return notify_value(f, notify_environment_string, name, m);
}

// No value: the message is not a command of this side and gets no answer.
std::optional<int> run(feedback_side& f, const player_message& m)
{
    auto text = [&](unsigned offset) {
        auto s = static_cast<const char*>(player_message_pointer(&m, offset));
        return s == nullptr ? "" : s;
    };
    switch (m.code) {
    case feedback_pcm_event: queue_pcm(f, m); return std::nullopt;
    case feedback_user_event: queue_user(f, m); return std::nullopt;
    case feedback_pause:
        if (!f.paused) {
            f.paused = true;
            f.paused_at_us = time_of(m);
        }
        return std::nullopt;
    case feedback_resume:
        if (f.paused) {
            f.queue.shift(time_of(m) - f.paused_at_us);
            f.paused = false;
        }
        return std::nullopt;
    case feedback_flush: f.queue.clear(); return std::nullopt;

    case command_feedback_set_environment_integer:
        return f.environment.set_integer(text(4), static_cast<int32_t>(player_message_word(&m, 8)));
    case command_feedback_get_environment_integer: return get_integer(f, text(4));
    case command_feedback_set_environment_string: return f.environment.set_string(text(4), text(8));
    case command_feedback_get_environment_string: return get_string(f, text(4));
    case command_feedback_unset_environment: return f.environment.unset(text(4));
    case command_feedback_handler_module_register: return register_handler(f, text(4));
    case command_feedback_handler_modules_list: return list_handlers(f);
    case command_feedback_handler_start: return start_handler(f);
    case command_feedback_handler_stop: return stop_handler(f);
    case command_feedback_handler_send_message: return send_to_handler(f, m);
    case command_set_feedback_handler_name: return set_handler_name(f, text(4));
    case command_set_feedback_handler_module:
        return set_handler_module(f, static_cast<int16_t>(player_message_half(&m, 4)));
    default: return std::nullopt; // timecode and position events are not kept
    }
}

} // namespace

void run_feedback(player_channel& channel)
{
    ::feedback_side f(channel);
    f.services = {service_get_integer, service_get_string, service_watch, service_unwatch, service_post};
    for (;;) {
        if (!f.queue.empty() && !f.paused)
            deliver(f);
        player_message m;
        int r = channel.receive(m, wait_us(f));
        if (r == error_timeout || r == error_invalid_message)
            continue;
        if (r < 0 || m.code == command_feedback_exit)
            break;
        if (std::optional<int> result = run(f, m))
            channel.post(acknowledgement(static_cast<int>(m.code), *result));
    }
    // Ending: the handler goes without a word, since the decoder side's
    // notify_exited is to be the caller's last notification.
    if (f.handler != nullptr) {
        if (f.running && f.handler->table.feedback_handler.stop != nullptr)
            f.handler->table.feedback_handler.stop(f.instance);
        f.handler->table.feedback_handler.delete_instance(f.instance);
    }
}

} // namespace melvox
