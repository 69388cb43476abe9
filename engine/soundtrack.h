// The soundtrack link: the demo plays its music through one Melvox player.
// The demo's clock never follows the player; the link only starts the music,
// keeps the player's notifications drained and stops it at the end.
#pragma once

#include <melvox.h>

class Ass {
public:
    // Creates the player (its decoder starts at once). On failure says so on
    // stderr; every operation then does nothing.
    Ass();
    // Deletes the player, which waits up to 10 s for its decoder to end.
    ~Ass();
    Ass(const Ass&) = delete;
    Ass& operator=(const Ass&) = delete;

    void open(const char* path);
    void play();
    // Takes at most one pending notification and drops it. Always 0.
    int poll();
    void stop();

    // Loads a codec module library (the WAVE codec, for music in WAVE files).
    void loadCodec(const char* library);
    // Sends the music to this output instead of the sound device.
    void setOutput(const char* name);
    // The player, null when there is none.
    player* handle() const { return player_; }

private:
    player* player_ = nullptr;
};
