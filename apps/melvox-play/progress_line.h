// The one-line progress display: timecode, position and state, redrawn in
// place on a terminal.
#pragma once

#include <cstdint>
#include <string>

struct progress_state {
    int hours = 0, minutes = 0, seconds = 0, hundredths = 0;
    uint32_t position = 0, range = 0;
    uint32_t duration_seconds = 0;
    uint32_t duration_ms = 0; // exact, when the codec tells it; else 0
    int state = 0;            // player_state
    int buffering = -1;       // percent while a stream fills its buffer, else -1
};

// "  0:01:23.4 / 0:03:00 [#######.............]  38%  playing", with
// "buffering 45%" in place of the state while a stream fills its buffer.
// A stream of unknown length (a pipe, a radio stream) shows only the time
// played: "  0:01:23.4  playing". Where the player cannot tell the position
// of a stream whose length is known (a WAVE stream on a pipe), the share is
// that of the time played.
std::string progress_text(const progress_state& s);
