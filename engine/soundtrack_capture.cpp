#include "soundtrack_capture.h"

#include "soundtrack.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

// How long the player may stay silent while the file is being finished.
constexpr long quietLimitUs = 5'000'000;

uint32_t le32(const uint8_t* at)
{
    return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

void put32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

std::string soundtrackFile(const std::string& directory)
{
    return directory + "/soundtrack.wav";
}

void SoundtrackCapture::begin(Ass& soundtrack, const std::string& directory)
{
    soundtrack.setOutput(("wav:" + soundtrackFile(directory)).c_str());
}

void SoundtrackCapture::take(const player_message& m)
{
    switch (m.code) {
    case notify_input_timecode: {
        uint32_t seconds = notify_input_timecode_hours(&m) * 3600u + notify_input_timecode_minutes(&m) * 60u +
                           notify_input_timecode_seconds(&m);
        writtenMs = std::max(writtenMs, seconds * 1000 + notify_input_timecode_hundredths(&m) * 10u);
        break;
    }
    case notify_player_state: done |= notify_player_state_state(&m) == player_state_end_of_stream; break;
    case notify_nack: {
        // Music that cannot be opened or played never comes.
        int command = notify_nack_command(&m);
        done |= command == command_input_open || command == command_play;
        break;
    }
    default: break;
    }
}

void SoundtrackCapture::poll(Ass& soundtrack)
{
    player_message m;
    if (soundtrack.handle() != nullptr && player_get_message(soundtrack.handle(), &m) == 1)
        take(m);
}

void SoundtrackCapture::finish(Ass& soundtrack, uint32_t lengthMs)
{
    player_message m;
    while (soundtrack.handle() != nullptr && !done && writtenMs < lengthMs) {
        if (player_wait_message(soundtrack.handle(), &m, quietLimitUs) != 1)
            return;
        take(m);
    }
}

bool trimSoundtrack(const std::string& path, uint32_t lengthMs)
{
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    if (file == nullptr)
        return true; // no music was written
    std::array<uint8_t, 44> header{};
    std::error_code e;
    uint64_t size = std::filesystem::file_size(path, e);
    bool ours = !e && std::fread(header.data(), header.size(), 1, file) == 1 &&
                std::equal(header.begin(), header.begin() + 4, "RIFF") &&
                std::equal(header.begin() + 36, header.begin() + 40, "data");
    uint32_t rate = le32(&header[24]);
    uint32_t frameBytes = header[32] | header[33] << 8;
    if (!ours || frameBytes == 0) {
        std::fclose(file);
        std::fprintf(stderr, "cannot trim %s: not a WAV file of the player\n", path.c_str());
        return false;
    }
    uint64_t data = std::min<uint64_t>(size - header.size(), UINT32_MAX - 36) / frameBytes * frameBytes;
    data = std::min<uint64_t>(data, uint64_t{lengthMs} * rate / 1000 * frameBytes);
    put32(&header[4], static_cast<uint32_t>(data + 36));
    put32(&header[40], static_cast<uint32_t>(data));
    bool ok = std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), header.size(), 1, file) == 1;
    ok &= std::fclose(file) == 0;
    std::filesystem::resize_file(path, header.size() + data, e);
    if (!ok || e) {
        std::fprintf(stderr, "cannot trim %s\n", path.c_str());
        return false;
    }
    return true;
}
