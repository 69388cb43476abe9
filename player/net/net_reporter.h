// What the network input tells the outside world while it works: progress
// codes, debug messages with a level, and stream properties. The input module
// forwards these to the decoder's report and property services; tests record
// them.
#pragma once

// The progress codes that it reports are public (player_progress_code).
#include "melvox.h"

namespace melvox::net {

class net_reporter {
public:
    virtual ~net_reporter() = default;
    // text may be null (codes 21 and 22 carry only a value).
    virtual void progress(int code, int value, const char* text);
    // level 0: connection steps and failures, 1: request and reply lines,
    // 2: protocol details.
    virtual void message(int level, const char* message, const char* detail);
    // A fault that ended the stream (cut short, stalled), told once the
    // audio before it has been delivered. Without its own way of telling
    // errors a reporter gives it as a level 0 message.
    virtual void error(int code, const char* message, const char* detail);
    // A string property of the current stream ("http/...", "icy/...").
    virtual void property(const char* name, const char* value);
};

// A reporter that drops everything.
net_reporter& silent_reporter();

} // namespace melvox::net
