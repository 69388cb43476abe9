/* The public headers as a C program sees them: they compile as C, and the
 * message builders and accessors read back what they wrote. */
#include "melvox.h"
#include "melvox_modules.h"

int c_messages_round_trip(void)
{
    int failures = 0;
    player_message m = make_notify_stream_parameters(44100, 128, 2);
    failures += notify_stream_parameters_sample_rate(&m) != 44100;
    failures += notify_stream_parameters_bitrate(&m) != 128;
    failures += notify_stream_parameters_channels(&m) != 2;
    m = make_notify_nack(command_seek, error_invalid_parameters);
    failures += m.code != notify_nack;
    failures += notify_nack_command(&m) != command_seek;
    failures += notify_nack_error(&m) != error_invalid_parameters;
    m = make_command_input_open(NULL);
    failures += strcmp(command_input_open_name(&m), "") != 0;
    return failures;
}
