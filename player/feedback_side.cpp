// The feedback side: its own environment and the commands it answers itself.
#include "message_packer.h"
#include "named_values.h"
#include "sides.h"

#include <optional>

namespace melvox {
namespace {

// Feedback handler commands are refused with this until handler modules can
// be loaded.
constexpr int no_module_yet = error_plugin_module_not_found;

struct feedback_side {
    player_channel& channel;
    named_value_list environment;

    int notify_value(int code, const char* name, const player_message& value_source)
    {
        player_message m = value_source;
        m.code = static_cast<uint32_t>(code);
        player_message_set_pointer(&m, 4, name);
        return channel.post(m);
    }

    int get_integer(const char* name)
    {
        int32_t value;
        if (int r = environment.get_integer(name, &value); r < 0)
            return r;
        player_message m{};
        player_message_set_word(&m, 8, static_cast<uint32_t>(value));
        return notify_value(notify_feedback_environment_integer, name, m);
    }

    int get_string(const char* name)
    {
        const char* value;
        if (int r = environment.get_string(name, &value); r < 0)
            return r;
        player_message m{};
        player_message_set_pointer(&m, 8, value);
        return notify_value(notify_environment_string, name, m);
    }

    // No value: the message is not a command of this side and gets no answer.
    std::optional<int> run(const player_message& m)
    {
        auto text = [&](unsigned offset) {
            auto s = static_cast<const char*>(player_message_pointer(&m, offset));
            return s == nullptr ? "" : s;
        };
        switch (m.code) {
        case command_feedback_set_environment_integer:
            return environment.set_integer(text(4), static_cast<int32_t>(player_message_word(&m, 8)));
        case command_feedback_get_environment_integer: return get_integer(text(4));
        case command_feedback_set_environment_string: return environment.set_string(text(4), text(8));
        case command_feedback_get_environment_string: return get_string(text(4));
        case command_feedback_unset_environment: return environment.unset(text(4));
        case command_feedback_handler_module_register:
        case command_feedback_handler_modules_list:
        case command_feedback_handler_start:
        case command_feedback_handler_stop:
        case command_feedback_handler_send_message:
        case command_set_feedback_handler_name:
        case command_set_feedback_handler_module: return no_module_yet;
        default: return std::nullopt;
        }
    }

};

} // namespace

void run_feedback(player_channel& channel)
{
    feedback_side side{channel, {}};
    for (;;) {
        player_message m;
        int r = channel.receive(m, -1);
        if (r == error_invalid_message)
            continue;
        if (r < 0 || m.code == command_feedback_exit)
            return;
        if (std::optional<int> result = side.run(m))
            channel.post(acknowledgement(static_cast<int>(m.code), *result));
    }
}

} // namespace melvox
