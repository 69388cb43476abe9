/* Melvox: the message-driven audio player library.
 *
 * The one public header for callers and module writers: message codes and the
 * places of their arguments (melvox_messages.h, included below), the message
 * record and its accessors, player states, mode and notification-mask bits,
 * error codes, hooks and the caller functions. Every function returns 0 (or a count) on success and a negative
 * error code on failure. */
#ifndef MELVOX_H
#define MELVOX_H

/* The library's version; the build reads it from here. The major number is
 * that of the shared library's SONAME (libmelvox.so.0). */
#define MELVOX_VERSION_MAJOR 0
#define MELVOX_VERSION_MINOR 1
#define MELVOX_VERSION_PATCH 0
#define MELVOX_VERSION_STRING "0.1.0"

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Error codes: negative, grouped by hundreds ------------------------- */

enum {
    error_none = 0,
    error_out_of_memory = -100,
    error_out_of_resources = -101,
    error_invalid_parameters = -102,
    error_internal = -103,
    error_timeout = -104,
    error_version_mismatch = -106,
    error_connect_timed_out = -200,
    error_connect_failed = -201,
    error_connection_refused = -202,
    error_accept_failed = -203,
    error_listen_failed = -204,
    error_socket_failed = -205,
    error_socket_closed = -206,
    error_bind_failed = -207,
    error_host_unknown = -208,
    error_invalid_http_reply = -209,
    error_http_error_reply = -210,
    error_http = -211,
    error_invalid_ftp_reply = -212,
    error_ftp_error_reply = -213,
    error_ftp = -214,
    /* An https:// server whose TLS handshake failed, or a CA file that
     * cannot be read. */
    error_tls_failed = -215,
    /* An https:// server whose certificate does not verify (unknown issuer,
     * expired, another host's name): nothing was played. */
    error_certificate_not_trusted = -216,
    error_pipe_failed = -300,
    error_fork_failed = -301,
    error_select_failed = -302,
    error_pipe_closed = -303,
    error_pipe_read_failed = -304,
    error_pipe_write_failed = -305,
    error_invalid_message = -306,
    error_circular_queue_full = -307,
    error_post_failed = -308,
    error_side_ended = -309, /* the decoder or feedback side ended unasked */
    error_unsupported_url_scheme = -400,
    error_invalid_url_syntax = -401,
    error_open_failed = -500,
    error_close_failed = -501,
    error_read_failed = -502,
    error_write_failed = -503,
    error_permission_denied = -504,
    error_no_such_device = -505,
    error_ioctl_failed = -506,
    error_plugin_module_not_found = -507,
    error_unsupported_input_type = -508,
    error_unsupported_output_type = -509,
    error_unsupported_format = -510,
    error_device_busy = -511,
    error_no_such_device_name = -512,
    error_no_such_file = -513,
    error_end_of_input_stream = -514,
    error_no_codec_found = -600,
    error_invalid_frame = -700,
    /* A stream in which no audio can be found (text, noise, silence of zero
     * bytes): nothing was played. */
    error_no_audio_found = -701,
    error_library_not_found = -800,
    error_symbol_not_found = -801,
    error_no_such_variable = -900,
    error_invalid_variable_type = -901,
    error_no_such_interface = -1000
};

/* The fixed text of an error code; "" for codes >= 0 and for codes in a known
 * group without an entry, "unknown error" for codes in no known group. */
const char* error_string(int code);

/* ---- Message codes ------------------------------------------------------ */

/* The codes (enum player_message_code), the notification-mask bits (enum
 * notification_mask_bits) and, for every command and notification, its
 * arguments by name, type and place with named accessors are in
 * melvox_messages.h, which this header includes below. */

/* ---- The message record ------------------------------------------------- */

/* A code and a 20-byte argument area in which each message places its
 * arguments at fixed 32-bit offsets 4..23 (b4 = byte at 4, h6 = 16-bit value
 * at 6, w8 = 32-bit value or pointer at 8). On 32-bit builds the record is
 * exactly those 24 bytes. On 64-bit builds every 4-byte word is widened to
 * pointer size so that a pointer fits its word: the argument at 32-bit offset
 * o lives at (o / 4) * sizeof(void*) + o % 4. Use the accessors below rather
 * than the fields, so that code is written once for both builds. */
typedef union player_message_slot {
    void* pointer;
    uintptr_t value;
    unsigned char bytes[sizeof(void*)];
} player_message_slot;

typedef struct player_message {
    uint32_t code; /* 1..159; 0 marks an invalid record */
    player_message_slot argument[5];
} player_message;

#ifdef __cplusplus
static_assert(sizeof(void*) != 4 || sizeof(player_message) == 24, "player_message is 24 bytes on 32-bit builds");
static_assert(sizeof(player_message) == 6 * sizeof(void*), "one widened word per 4 bytes of the documented layout");
#else
_Static_assert(sizeof(void*) != 4 || sizeof(player_message) == 24, "player_message is 24 bytes on 32-bit builds");
_Static_assert(sizeof(player_message) == 6 * sizeof(void*), "one widened word per 4 bytes of the documented layout");
#endif

/* Address of the argument at documented 32-bit offset (4..23). */
static inline unsigned char* player_message_place(player_message* m, unsigned offset)
{
    return (unsigned char*)m + (offset / 4) * sizeof(void*) + offset % 4;
}

static inline const unsigned char* player_message_const_place(const player_message* m, unsigned offset)
{
    return (const unsigned char*)m + (offset / 4) * sizeof(void*) + offset % 4;
}

static inline uint8_t player_message_byte(const player_message* m, unsigned offset)
{
    return *player_message_const_place(m, offset);
}

static inline void player_message_set_byte(player_message* m, unsigned offset, uint8_t value)
{
    *player_message_place(m, offset) = value;
}

static inline uint16_t player_message_half(const player_message* m, unsigned offset)
{
    uint16_t value;
    memcpy(&value, player_message_const_place(m, offset), sizeof value);
    return value;
}

static inline void player_message_set_half(player_message* m, unsigned offset, uint16_t value)
{
    memcpy(player_message_place(m, offset), &value, sizeof value);
}

static inline uint32_t player_message_word(const player_message* m, unsigned offset)
{
    uint32_t value;
    memcpy(&value, player_message_const_place(m, offset), sizeof value);
    return value;
}

static inline void player_message_set_word(player_message* m, unsigned offset, uint32_t value)
{
    memcpy(player_message_place(m, offset), &value, sizeof value);
}

static inline void* player_message_pointer(const player_message* m, unsigned offset)
{
    void* value;
    memcpy(&value, player_message_const_place(m, offset & ~3u), sizeof value);
    return value;
}

static inline void player_message_set_pointer(player_message* m, unsigned offset, const void* value)
{
    memcpy(player_message_place(m, offset & ~3u), &value, sizeof value);
}

/* A record of this code with every argument 0. */
static inline player_message make_player_message(uint32_t code)
{
    player_message m;
    memset(&m, 0, sizeof m);
    m.code = code;
    return m;
}

/* ---- States, modes and the notification mask ---------------------------- */

enum player_state {
    player_state_stopped = 0,
    player_state_playing = 1,
    player_state_paused = 2,
    player_state_end_of_stream = 3
};

enum player_mode_bits {
    player_mode_close_output_on_stop = 0x1,
    player_mode_close_output_on_pause = 0x2,
    player_mode_drain_at_end = 0x4
};

/* The mask bit that governs a code, 0 when the code is always sent. */
uint32_t player_notification_bit(int code);

/* Codes of notify_progress from the network input (its value as noted). */
enum player_progress_code {
    progress_connecting = 16,
    progress_connected = 17,
    progress_underflow = 19,
    progress_refilled = 20,
    progress_buffering = 21,   /* value: percent of what must be buffered before playing */
    progress_buffer_fill = 22, /* value: percent of the stream buffer filled */
    progress_end_of_stream = 23
};

/* ---- Named values ------------------------------------------------------- */

enum player_value_type { player_value_string = 0, player_value_integer = 1 };

/* One entry of a listed environment or property list (notify_stream_properties
 * carries a count and a pointer to an array of these). */
typedef struct player_property {
    const char* name;
    intptr_t type; /* player_value_integer or player_value_string */
    union {
        int32_t integer;
        const char* string;
    } value;
} player_property;

/* Called after every set of a watched name with a pointer to the new value
 * (the int32_t of an integer, the text of a string), and with a null value
 * when the name is unset. */
typedef void (*player_watch_function)(void* user_data, const char* name, const void* value);

/* ---- Messages ----------------------------------------------------------- */

#include "melvox_messages.h"

/* ---- Hooks -------------------------------------------------------------- */

typedef struct player_channel player_channel; /* an endpoint of the control channel */
typedef struct decoder decoder;               /* the decoder side's own object */

enum { player_hook_type = 8 };

/* {user data, function}; the function is cast to the hook's own type. */
typedef struct player_hook_pair {
    void* user_data;
    void (*function)(void);
} player_hook_pair;

/* Entries are taken only with type player_hook_type; a known name ("init-hook",
 * "module-loader-hook") with another type ends the scan. */
typedef struct player_hook {
    const char* name;
    const player_hook_pair* pair;
    intptr_t type;
} player_hook;

typedef struct player_hook_list {
    intptr_t count;
    const player_hook* hooks;
} player_hook_list;

/* An "init-hook" runs in the decoder at start, before notify_ready. */
typedef int (*player_init_hook)(void* user_data, player_channel* channel, decoder* decoder);

/* ---- Caller functions --------------------------------------------------- */

typedef struct player player;

enum player_priority {
    player_priority_idle = 0,
    player_priority_below_normal = 1,
    player_priority_normal = 2,
    player_priority_above_normal = 3,
    player_priority_highest = 4
};

/* Starts the decoder side (and its feedback side). client: where notifications
 * go on platforms with window messages; unused on Linux. On failure nothing is
 * left running and *out is null. */
int player_new(player** out, void* client);
int player_new_with_hooks(player** out, void* client, const player_hook_list* hooks);

/* Sends command_exit, waits up to 10000 ms for the decoder side to end (ending
 * it by force after that) and releases the handle. */
int player_delete(player* p);

/* Packs the arguments by the code's layout, in call order: bytes, 16-bit and
 * 32-bit values as int, strings and blocks as pointers. Codes that are not
 * messages give error_invalid_message and post nothing. Strings and blocks are
 * copied, so the caller may reuse its buffers at once. */
int player_send_message(player* p, int code, ...);

/* The same for callers that cannot make variadic calls: 0 to 4 argument
 * words in call order (a pointer travels as its intptr_t). */
int player_send_message0(player* p, int code);
int player_send_message1(player* p, int code, intptr_t a1);
int player_send_message2(player* p, int code, intptr_t a1, intptr_t a2);
int player_send_message3(player* p, int code, intptr_t a1, intptr_t a2, intptr_t a3);
int player_send_message4(player* p, int code, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4);

/* Posts an already filled record. */
int player_post_message(player* p, const player_message* message);

/* Called with each notification that player_command takes while it waits. */
typedef void (*player_notification_function)(void* user_data, const player_message* message);

/* Sends a command as player_send_message does and waits up to timeout_us
 * microseconds (-1: no limit) for its answer: the notify_ack or notify_nack
 * that names its code. Every notification taken meanwhile, the answer too, is
 * handed to seen (when not null) as it comes, so that nothing is lost.
 * Returns 0 when the command was acknowledged, the error of its notify_nack,
 * error_timeout when no answer came in time, or the error of sending or
 * waiting. A code that is not a message is error_invalid_message, as for
 * player_send_message; a message that no side answers (command_exit,
 * command_sync, the messages between the sides, notifications and codes
 * without effect) is error_invalid_parameters. Neither is sent. */
int player_command(player* p, player_notification_function seen, void* user_data, long timeout_us, int code, ...);

/* The same for a filled record. */
int player_post_command(player* p, const player_message* command, player_notification_function seen, void* user_data,
                        long timeout_us);

/* Takes the next notification without waiting: 1 taken, 0 none. Strings and
 * blocks in it stay valid until the next message is taken. */
int player_get_message(player* p, player_message* out);

/* Waits up to timeout_us microseconds (-1: no limit) for the next notification:
 * 1 taken, error_timeout when none came in time. */
int player_wait_message(player* p, player_message* out, long timeout_us);

/* Posts command_sync and waits up to timeout_ms milliseconds (-1: no limit)
 * until the decoder side has taken it. Notifications that arrive meanwhile
 * are kept for player_get_message / player_wait_message. */
int player_sync(player* p, int timeout_ms);

/* Priority classes 0..4. On Linux setting has no effect and reading gives
 * player_priority_normal. */
int player_set_priority(player* p, int priority_class);
int player_get_priority(player* p);

/* For a caller that gave its own window to player_new (Windows): turns a
 * message of id 0x9000 + code that the window received, with its wParam and
 * lParam, back into a player_message, freeing what the sender allocated for
 * it. Strings and blocks stay valid until the next message is unpacked.
 * Elsewhere there are no such messages: error_invalid_parameters. */
int player_unpack_message(player* p, player_message* out, unsigned int message_id, uintptr_t wparam, intptr_t lparam);

#ifdef __cplusplus
}
#endif

#endif
