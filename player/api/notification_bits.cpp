// Which notification-mask bit governs each notification.
#include "melvox.h"

extern "C" uint32_t player_notification_bit(int code)
{
    switch (code) {
    case notify_error: return notify_error_bit;
    case notify_debug: return notify_debug_bit;
    case notify_progress: return notify_progress_bit;
    case notify_ack: return notify_ack_bit;
    case notify_nack: return notify_nack_bit;
    case notify_player_state: return notify_player_state_bit;
    case notify_input_state: return notify_input_state_bit;
    case notify_input_name: return notify_input_name_bit;
    case notify_input_caps: return notify_input_caps_bit;
    case notify_input_position: return notify_input_position_bit;
    case notify_input_timecode: return notify_input_timecode_bit;
    case notify_output_state: return notify_output_state_bit;
    case notify_output_name: return notify_output_name_bit;
    case notify_output_caps: return notify_output_caps_bit;
    case feedback_position_event: return feedback_position_event_bit;
    case feedback_timecode_event: return feedback_timecode_event_bit;
    case notify_output_balance: return notify_output_balance_bit;
    case notify_output_pcm_level: return notify_output_pcm_level_bit;
    case notify_output_master_level: return notify_output_master_level_bit;
    case notify_output_ports: return notify_output_ports_bit;
    case notify_stream_mime_type: return notify_stream_mime_type_bit;
    case notify_stream_duration: return notify_stream_duration_bit;
    case notify_stream_parameters: return notify_stream_parameters_bit;
    case notify_stream_properties: return notify_stream_properties_bit;
    case notify_module_event: return notify_module_event_bit;
    default: return 0;
    }
}
