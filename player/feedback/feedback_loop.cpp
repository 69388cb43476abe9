// The feedback side's main loop: it takes the decoder side's events and the
// caller's feedback commands, and delivers events when their time comes.
#include "feedback/feedback_side.h"
#include "messages/message_packer.h"

#include <optional>

namespace melvox {
namespace {

int get_integer(feedback_side& f, const char* name)
{
    int32_t value;
    if (int r = f.environment.get_integer(name, &value); r < 0)
        return r;
    return f.channel.post(make_notify_feedback_environment_integer(name, value));
}

int get_string(feedback_side& f, const char* name)
{
    const char* value;
    if (int r = f.environment.get_string(name, &value); r < 0)
        return r;
    return f.channel.post(make_notify_environment_string(name, value));
}

// No value: the message is not a command of this side and gets no answer.
std::optional<int> run(feedback_side& f, const player_message& message)
{
    const player_message* m = &message;
    switch (message.code) {
    case feedback_pcm_event: queue_pcm(f, message); return std::nullopt;
    case feedback_user_event: queue_user(f, message); return std::nullopt;
    case feedback_pause: pause_events(f, message); return std::nullopt;
    case feedback_resume: resume_events(f, message); return std::nullopt;
    case feedback_flush: f.queue.clear(); return std::nullopt;

    case command_feedback_set_environment_integer:
        return f.environment.set_integer(command_feedback_set_environment_integer_name(m),
                                         command_feedback_set_environment_integer_value(m));
    case command_feedback_get_environment_integer:
        return get_integer(f, command_feedback_get_environment_integer_name(m));
    case command_feedback_set_environment_string:
        return f.environment.set_string(command_feedback_set_environment_string_name(m),
                                        command_feedback_set_environment_string_value(m));
    case command_feedback_get_environment_string: return get_string(f, command_feedback_get_environment_string_name(m));
    case command_feedback_unset_environment: return f.environment.unset(command_feedback_unset_environment_name(m));
    case command_feedback_handler_module_register:
        return register_handler(f, command_feedback_handler_module_register_name(m));
    case command_feedback_handler_modules_list: return list_handlers(f);
    case command_feedback_handler_start: return start_handler(f);
    case command_feedback_handler_stop: return stop_handler(f);
    case command_feedback_handler_send_message: return send_to_handler(f, message);
    case command_set_feedback_handler_name: return set_handler_name(f, command_set_feedback_handler_name_name(m));
    case command_set_feedback_handler_module: return set_handler_module(f, command_set_feedback_handler_module_id(m));
    default: return std::nullopt; // timecode and position events are not kept
    }
}

} // namespace

void run_feedback(player_channel& channel)
{
    ::feedback_side f(channel);
    f.services = feedback_service_table();
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
    end_handler(f);
}

} // namespace melvox
