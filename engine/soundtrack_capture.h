// Capture mode's soundtrack: the player writes the music with its file output
// to DIR/soundtrack.wav, which starts with the first frame (frame k lies at
// k * 1000 / fps ms) and is cut at the end of the last frame, so that the
// frames and the file make a video together.
#pragma once

#include <melvox.h>

#include <cstdint>
#include <string>

class Ass;

// DIR/soundtrack.wav
std::string soundtrackFile(const std::string& directory);

class SoundtrackCapture {
public:
    // Points the player's output at the file; call before play.
    void begin(Ass& soundtrack, const std::string& directory);
    // Takes at most one pending notification, noting how far the music got.
    void poll(Ass& soundtrack);
    // Waits until the music has been written up to lengthMs, or has ended,
    // or the player has gone quiet.
    void finish(Ass& soundtrack, uint32_t lengthMs);

private:
    void take(const player_message& m);

    uint32_t writtenMs = 0;
    bool done = false;
};

// Cuts a WAV file of the file output to at most lengthMs and writes the
// sizes into its header. False (with a message) when it cannot.
bool trimSoundtrack(const std::string& path, uint32_t lengthMs);
