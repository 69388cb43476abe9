// ALSA's "file" plugin as the default device of a test process: every byte
// played through ALSA's default device, whether by the ALSA output or the
// OSS output through libaoss, lands in a file of the process's own.
#pragma once

#include "melvox.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

// Writes the configuration into a temporary folder (removed at exit) and
// points ALSA_CONFIG_PATH at it; call once, before anything opens ALSA.
void setUpAlsaCapture();
std::string alsaCapturePath();
// What the device has been given so far.
std::vector<uint8_t> alsaCaptured();

// A player in this process (its decoder inherits the capture), keeping the
// output modules and devices that it lists and the modules' reports.
class SoundDevicePlayer {
public:
    SoundDevicePlayer() { EXPECT_EQ(player_new(&p, nullptr), 0); }
    ~SoundDevicePlayer()
    {
        if (p != nullptr) {
            EXPECT_EQ(player_delete(p), 0);
        }
    }

    player_message next()
    {
        player_message m{};
        EXPECT_EQ(player_wait_message(p, &m, 10'000'000), 1);
        keep(m);
        return m;
    }

    void keep(const player_message& m)
    {
        if (m.code == notify_output_module_info || m.code == notify_output_device_info)
            modules.push_back(std::to_string(player_message_byte(&m, 4)) + " " +
                              std::to_string(player_message_byte(&m, 5)) + " " +
                              std::to_string(player_message_byte(&m, 6)) + " " +
                              static_cast<const char*>(player_message_pointer(&m, 8)));
        if (m.code == notify_debug)
            messages.push_back(notify_debug_text(&m));
    }

    // Sends a command and returns the result of its acknowledgement.
    template <typename... Args>
    int command(int code, Args... args)
    {
        return player_command(p, kept, this, 30'000'000, code, args...);
    }
    static void kept(void* self, const player_message* m) { static_cast<SoundDevicePlayer*>(self)->keep(*m); }

    void playToEnd()
    {
        ASSERT_EQ(command(command_play), 0);
        for (;;) {
            player_message m = next();
            if (m.code == 0 || (m.code == notify_player_state && player_message_byte(&m, 4) != player_state_playing))
                return;
        }
    }

    player* p = nullptr;
    std::vector<std::string> modules;
    std::vector<std::string> messages; // the modules' reports
};
