/* Melvox modules: the interface between the player and the modules that it
 * reads from, writes to, decodes with, filters through and reports feedback
 * to. A module is a table of plain functions filled in by its registration
 * entry point; a module built as a shared library exports that entry point
 * ("input_module_register", "codec_module_register" ...) and depends on the
 * layouts in this header only.
 *
 * Every slot of a table is one word (pointer-sized), word 0 being the
 * interface version. Methods return 0 (or a count) on success and a negative
 * error code of melvox.h on failure. */
#ifndef MELVOX_MODULES_H
#define MELVOX_MODULES_H

#include "melvox.h"

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Interface versions ------------------------------------------------- */

/* Registration compares bits 8..23 of the version word. */
enum { module_interface_version = 0x00040400, feedback_handler_interface_version = 0x00030800 };

/* Kinds as the module-loader hook receives them. Feedback handlers are
 * loaded by the feedback side without a hook. */
enum module_kind {
    module_kind_input = 0,
    module_kind_input_filter = 1,
    module_kind_output = 2,
    module_kind_output_filter = 3,
    module_kind_codec = 4,
    module_kind_feedback_handler = 5
};

/* ---- Module and device descriptions (query) ----------------------------- */

enum module_query_flags {
    query_module_name = 1,   /* fill name and description of the module */
    query_device_count = 2,  /* set index to the number of devices */
    query_device = 4,        /* describe the device whose index is in index */
    query_largest_frame = 8, /* codecs: largest PCM output of one frame */
    query_capabilities = 16  /* codecs: capability word into flags */
};

enum device_flags {
    device_is_pattern = 1, /* the device name is a pattern ("*", "wav:*") */
    device_is_default = 2
};

typedef struct module_info {
    uint32_t index; /* device index asked for, or the device count */
    uint32_t flags; /* device flags; a codec's capability word */
    char name[255];
    char description[256];
} module_info;

/* A codec's query record: the common one and one more word at offset 520. */
typedef struct codec_module_info {
    module_info info;
    uint32_t largest_frame_bytes;
} codec_module_info;

typedef struct module_entry module_entry;

/* ---- Records that travel between the decoder and its modules ------------ */

/* Output control words, each selected by its mask bit; action bits carry no
 * word. A change of channels always comes with the rate bit. */
typedef struct output_control {
    uint32_t bytes_per_sample; /* 0x1 */
    uint32_t sample_rate;      /* 0x4 */
    uint32_t channels;         /* 0x2 */
    uint32_t master_level;     /* 0x8, 0..100 */
    uint32_t pcm_level;        /* 0x10, 0..100 */
    uint32_t balance;          /* 0x20, 0..100, 50 centred */
    uint32_t ports;            /* 0x40 */
} output_control;

enum output_control_bits {
    control_bytes_per_sample = 0x1,
    control_channels = 0x2,
    control_sample_rate = 0x4,
    control_master_level = 0x8,
    control_pcm_level = 0x10,
    control_balance = 0x20,
    control_ports = 0x40,
    control_mute = 0x80,
    control_unmute = 0x100,
    control_reset = 0x200, /* discard queued audio */
    control_pause = 0x400,
    control_resume = 0x800,
    control_drain = 0x1000 /* let queued audio play out */
};

enum { input_caps_seekable = 0x1, output_caps_reports_delay = 0x400000 };

enum stream_info_flags { stream_properties_changed = 0x1, stream_format_changed = 0x2, stream_type_changed = 0x4 };

/* What a codec reports about its stream. */
typedef struct stream_info {
    uint32_t flags;
    uint32_t duration_ms;
    uint32_t sample_rate;
    uint32_t bitrate; /* kbit/s */
    uint32_t channels;
    const char* mime_type; /* the codec's own text, kept while it lives */
    void* properties;      /* the decoder's list: use the property services */
} stream_info;

/* One decoded block: 16-bit signed samples in host byte order, interleaved
 * when there are several channels. */
typedef struct pcm_frame {
    uint32_t flags; /* output_control bits of what changed */
    void* buffer;
    uint32_t samples_per_channel;
    uint32_t bytes_per_sample;
    uint32_t channels;
    uint32_t sample_rate;
    uint32_t delay_ms; /* the output's delay, when it reports one */
} pcm_frame;

enum codec_parameter_bits {
    codec_parameter_channel_mode = 0x1,
    codec_parameter_downsampling = 0x2,
    codec_parameter_equalizer = 0x4
};

typedef struct codec_parameters {
    uint32_t channel_mode; /* 0 both, 1 left, 2 right, 3 mixed to one */
    uint32_t downsampling; /* 0 none, 1 half, 2 quarter */
    int8_t* equalizer;     /* 64 signed bytes (left 32, right 32) or null */
} codec_parameters;

/* ---- Services of the decoder -------------------------------------------- */

/* The source given to report functions by the decoder's own checks. */
enum { report_source_decoder = 0xff };

typedef struct decoder_services {
    /* The four report functions take this as their first argument. */
    void* report_data;
    /* notify_progress */
    int (*report_progress)(void* data, int source, int code, int value, const char* text);
    /* notify_debug when level <= the debug level; level 0 for failures. The
     * text is "message (detail)", or "message" when detail is empty. */
    int (*report_message)(void* data, int source, int level, const char* message, const char* detail);
    /* notify_error */
    int (*report_error)(void* data, int source, int code, const char* message, const char* detail);
    /* notify_module_event */
    int (*report_module_event)(void* data, int source, int type, const void* block, uint32_t size);
    uintptr_t reserved;
    /* Reads exactly size bytes through the input chain (0), or fails:
     * error_end_of_input_stream when the input has no more whole block. */
    int (*input_read)(decoder* d, void* buffer, uint32_t size);
    /* Moves the input to a byte offset (clamped to its size) and tells the
     * codec; position, played time and timecode follow. */
    int (*input_seek)(decoder* d, uint32_t offset);
    int (*codec_flush)(decoder* d);
    /* The current stream's properties; a change sets properties_changed. */
    int (*property_set_integer)(decoder* d, const char* name, int32_t value);
    int (*property_get_integer)(decoder* d, const char* name, int32_t* value);
    int (*property_set_string)(decoder* d, const char* name, const char* value);
    /* Copies the value into buffer (size bytes, cut to fit, NUL-terminated). */
    int (*property_get_string)(decoder* d, const char* name, char* buffer, uint32_t size);
    int (*property_remove)(decoder* d, const char* name);
    /* The player's environment. */
    int (*environment_set_integer)(decoder* d, const char* name, int32_t value);
    int (*environment_get_integer)(decoder* d, const char* name, int32_t* value);
    int (*environment_set_string)(decoder* d, const char* name, const char* value);
    int (*environment_get_string)(decoder* d, const char* name, char* buffer, uint32_t size);
    int (*environment_unset)(decoder* d, const char* name);
    /* function(user data, name, value) after every set of name; value null
     * when it is unset. */
    int (*environment_watch)(decoder* d, const char* name, player_watch_function function, void* user_data,
                             void** watcher);
    int (*environment_unwatch)(decoder* d, void* watcher);
    /* Added behind the first 21 words, which keep their places: sets the MIME
     * type of the input being opened (a copy is kept), from which the codec
     * is chosen; an input module calls it from its open method. Each open
     * starts from "unknown". */
    int (*input_set_mime_type)(decoder* d, const char* mime_type);
    /* Added behind that: an input module whose read would wait for a
     * descriptor (a pipe, a FIFO, a terminal) calls it first. 0 when the
     * descriptor has bytes to read or is at its end; error_timeout when the
     * decoder has a command to take first: the read then returns
     * error_timeout, keeping what it has read, and is asked again later. */
    int (*wait_for_input)(decoder* d, intptr_t descriptor);
} decoder_services;

/* The decoder as modules see it: its input record (read only for modules)
 * and its services. A module receives it in its new method. */
struct decoder {
    struct {
        uintptr_t state;    /* 0 closed, 1 open */
        uintptr_t caps;     /* input_caps_seekable */
        uintptr_t position; /* bytes read or sought to */
        uintptr_t size;     /* bytes, 0 unknown */
        void* instance;
        const module_entry* entry;
    } input;
    decoder_services services;
};

/* ---- Method tables ------------------------------------------------------ */

typedef struct input_module {
    uintptr_t version;
    int (*probe)(const char* name); /* 0: the module takes the name */
    int (*query)(module_info* info, int flags);
    int (*new_instance)(void** instance, const char* name, const module_entry* entry, decoder* d);
    int (*delete_instance)(void* instance);
    int (*open)(void* instance);
    int (*close)(void* instance);
    /* Bytes read (size when the whole block was read), 0 at the end. */
    int32_t (*read)(void* instance, void* buffer, uint32_t size);
    int (*seek)(void* instance, uint32_t offset);                                   /* may be null */
    uint32_t (*get_caps)(void* instance);                                           /* may be null */
    uint32_t (*get_size)(void* instance);                                           /* may be null */
    int (*send_message)(void* instance, int type, uint32_t size, const void* data); /* may be null */
} input_module;

typedef struct output_module {
    uintptr_t version;
    int (*probe)(const char* name);
    int (*query)(module_info* info, int flags);
    int (*new_instance)(void** instance, const char* name, const module_entry* entry, decoder* d);
    int (*delete_instance)(void* instance);
    int (*open)(void* instance);
    int (*close)(void* instance);
    int (*write)(void* instance, const void* buffer, uint32_t bytes, int bytes_per_sample, int channels,
                 int sample_rate);
    /* A buffer of at least bytes owned by the output, or null. */
    void* (*get_buffer)(void* instance, uint32_t bytes);
    int (*set_control)(void* instance, const output_control* control, uint32_t mask);
    int (*get_control)(void* instance, output_control* control, uint32_t mask);
    int (*get_status)(void* instance, uint32_t* delay_ms);
    uint32_t (*get_caps)(void* instance);
    int (*send_message)(void* instance, int type, uint32_t size, const void* data);
} output_module;

typedef struct codec_module {
    uintptr_t version;
    /* 0 when the codec takes the stream; mime_type is never null. */
    int (*probe)(const char* mime_type, const char* input_name);
    int (*query)(codec_module_info* info, int flags);
    int (*new_instance)(void** instance, const char* mime_type, const char* input_name, const module_entry* entry,
                        decoder* d);
    int (*delete_instance)(void* instance);
    int (*decode)(void* instance, pcm_frame* frame, stream_info* info);
    int (*prepare)(void* instance, stream_info* info);
    float (*offset_to_ratio)(void* instance, uint32_t offset);
    float (*ratio_to_offset)(void* instance, float ratio);
    int (*reset)(void* instance);
    int (*input_closed)(void* instance);
    int (*reposition)(void* instance, uint32_t offset);
    int (*flush)(void* instance);
    int (*set_parameters)(void* instance, const codec_parameters* parameters, uint32_t mask);
    int (*get_parameters)(void* instance, codec_parameters* parameters, uint32_t mask);
    uintptr_t reserved;
} codec_module;

/* ---- Filters ------------------------------------------------------------ */

/* A chain of filters ends in a terminal node (id 0) that stands for the
 * module itself. Methods from open on receive their own node and call the
 * same method of node->next to pass the call on; a slot left null is filled
 * at registration with such a pass-through. */
typedef struct input_filter_node input_filter_node;
typedef struct output_filter_node output_filter_node;

typedef struct input_filter_module {
    uintptr_t version;
    int (*query)(module_info* info, int flags); /* required */
    int (*new_instance)(void** instance, int id, decoder* d);
    int (*delete_instance)(void* instance);
    int (*open)(input_filter_node* node);
    int (*close)(input_filter_node* node);
    int32_t (*read)(input_filter_node* node, void* buffer, uint32_t size);
    int (*seek)(input_filter_node* node, uint32_t offset);
    uint32_t (*get_caps)(input_filter_node* node);
    uint32_t (*get_size)(input_filter_node* node);
    int (*send_message)(input_filter_node* node, int type, uint32_t size, const void* data);
} input_filter_module;

struct input_filter_node {
    int32_t id;
    void* instance;
    input_filter_module table;
    input_filter_node* next;
    input_filter_node* previous;
};

typedef struct output_filter_module {
    uintptr_t version;
    int (*query)(module_info* info, int flags); /* required */
    int (*new_instance)(void** instance, int id, decoder* d);
    int (*delete_instance)(void* instance);
    int (*open)(output_filter_node* node);
    int (*close)(output_filter_node* node);
    int (*write)(output_filter_node* node, const void* buffer, uint32_t bytes, int bytes_per_sample, int channels,
                 int sample_rate);
    void* (*get_buffer)(output_filter_node* node, uint32_t bytes);
    int (*set_control)(output_filter_node* node, const output_control* control, uint32_t mask);
    int (*get_control)(output_filter_node* node, output_control* control, uint32_t mask);
    int (*get_status)(output_filter_node* node, uint32_t* delay_ms);
    uint32_t (*get_caps)(output_filter_node* node);
    int (*send_message)(output_filter_node* node, int type, uint32_t size, const void* data);
} output_filter_module;

struct output_filter_node {
    int32_t id;
    void* instance;
    output_filter_module table;
    output_filter_node* next;
    output_filter_node* previous;
};

/* ---- Feedback handlers -------------------------------------------------- */

/* The feedback side as its handlers see it (opaque). */
typedef struct feedback_side feedback_side;

typedef struct feedback_services {
    int (*environment_get_integer)(feedback_side* side, const char* name, int32_t* value);
    int (*environment_get_string)(feedback_side* side, const char* name, char* buffer, uint32_t size);
    int (*environment_watch)(feedback_side* side, const char* name, player_watch_function function, void* user_data,
                             void** watcher);
    int (*environment_unwatch)(feedback_side* side, void* watcher);
    /* Posts a message to the caller. */
    int (*post)(feedback_side* side, const player_message* message);
} feedback_services;

enum feedback_event_type { feedback_event_pcm = 0, feedback_event_user = 1 };

/* An event at its time. For a PCM event the first six fields are the block:
 * channels x samples_per_channel signed bytes, channel after channel. A user
 * event carries the three words of its message. */
typedef struct feedback_event {
    uint32_t seconds;
    uint32_t microseconds;
    uint32_t sample_rate;
    uint16_t channels;
    uint16_t samples_per_channel;
    const int8_t* data;
    uint32_t type;
    uint32_t user[3];
} feedback_event;

typedef struct feedback_handler_module {
    uintptr_t version;
    int (*probe)(const char* name);
    int (*query)(module_info* info, int flags);
    int (*new_instance)(void** instance, const char* name, const module_entry* entry, feedback_side* side,
                        const feedback_services* services);
    int (*delete_instance)(void* instance);
    int (*start)(void* instance);
    int (*stop)(void* instance);
    int (*send_message)(void* instance, int type, uint32_t size, const void* data);
    int (*event)(void* instance, const feedback_event* event);
} feedback_handler_module;

/* ---- Registry entries and entry points ---------------------------------- */

/* One registered module. Ids count up from 0 in registration order; each
 * kind's entries are linked newest first. */
struct module_entry {
    int32_t id;
    intptr_t reserved;
    union {
        input_module input;
        output_module output;
        codec_module codec;
        feedback_handler_module feedback_handler;
    } table;
    module_entry* next;
};

/* Registration entry points fill a zeroed table and return 0. */
typedef int (*input_module_register_function)(input_module* table);
typedef int (*output_module_register_function)(output_module* table);
typedef int (*codec_module_register_function)(codec_module* table);
typedef int (*input_filter_module_register_function)(input_filter_module* table);
typedef int (*output_filter_module_register_function)(output_filter_module* table);
typedef int (*feedback_handler_module_register_function)(feedback_handler_module* table);

/* The "module-loader-hook": called before (phase 0) and after (phase 1)
 * every dynamic load. In phase 0 it may supply *entry_point and return 1 to
 * end the load there; a negative result is the load's error. */
typedef int (*module_loader_hook)(void* user_data, int kind, int phase, player_channel* channel, decoder* d,
                                  void (**entry_point)(void), const char* name, const char* default_entry_point);

#ifdef __cplusplus
} /* extern "C" */

static_assert(sizeof(module_info) == 520, "module_info is 520 bytes");
static_assert(offsetof(codec_module_info, largest_frame_bytes) == 520, "a codec's extra word lies at 520");
static_assert(sizeof(input_module) == 12 * sizeof(void*), "input module table: 12 words");
static_assert(sizeof(output_module) == 14 * sizeof(void*), "output module table: 14 words");
static_assert(sizeof(codec_module) == 16 * sizeof(void*), "codec module table: 16 words");
static_assert(sizeof(input_filter_module) == 11 * sizeof(void*), "input filter table: 11 words");
static_assert(sizeof(output_filter_module) == 13 * sizeof(void*), "output filter table: 13 words");
static_assert(sizeof(feedback_handler_module) == 9 * sizeof(void*), "feedback handler table: 9 words");
static_assert(offsetof(decoder, services) == 6 * sizeof(void*), "six words before the services");
static_assert(offsetof(decoder_services, environment_unwatch) == 20 * sizeof(void*), "21 words of services");
static_assert(sizeof(decoder_services) == 23 * sizeof(void*), "and the input's MIME type and wait behind them");
#endif

#endif
