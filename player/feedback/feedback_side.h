// The feedback side: its own environment, the feedback handler modules, and
// the queue of time-stamped events that it delivers to the running handler
// when their time comes. Its main loop is run_feedback; the handlers, the
// events and the services that handlers call have files of their own.
#pragma once

#include "feedback/feedback_queue.h"
#include "host/module_registry.h"
#include "host/named_values.h"
#include "transport/channel.h"

#include <cstdint>
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

// Handles the feedback side's commands until command_feedback_exit or until
// the decoder side is gone.
void run_feedback(player_channel& channel);

// The services that handlers are given (feedback_services.cpp).
feedback_services feedback_service_table();

// Handlers (feedback_handlers.cpp). Each returns the result that the command
// is acknowledged with.
int register_handler(feedback_side& f, const char* name);
int list_handlers(feedback_side& f);
int start_handler(feedback_side& f);
int stop_handler(feedback_side& f);
int set_handler_name(feedback_side& f, const char* name);
int set_handler_module(feedback_side& f, int16_t id);
int send_to_handler(feedback_side& f, const player_message& m);
// Stops (when running) and deletes the handler without a word, at the end.
void end_handler(feedback_side& f);

// Events (feedback_events.cpp).
void queue_pcm(feedback_side& f, const player_message& m);
void queue_user(feedback_side& f, const player_message& m);
void pause_events(feedback_side& f, const player_message& m);
void resume_events(feedback_side& f, const player_message& m);
void deliver(feedback_side& f);
long long wait_us(const feedback_side& f);

} // namespace melvox
