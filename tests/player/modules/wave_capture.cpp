#include "wave_capture.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

bool underWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// capture.raw beside the ALSA configuration, as a path of this side.
std::string capturePath()
{
    const char* config = std::getenv("ALSA_CONFIG_PATH");
    if (config == nullptr)
        return "";
    std::string path = std::filesystem::path(config).parent_path().generic_string() + "/capture.raw";
    return path.front() == '/' ? "Z:" + path : path; // Wine's drive for the Unix root
}

namespace {

// The frames of 16-bit PCM; a mono sample stands in the left channel.
std::vector<Frame> framesOf(const std::vector<uint8_t>& bytes, int channels)
{
    std::vector<Frame> frames(bytes.size() / (2 * channels));
    if (channels == 2) {
        std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(Frame));
    } else {
        for (size_t i = 0; i < frames.size(); ++i)
            std::memcpy(&frames[i].left, bytes.data() + 2 * i, 2);
    }
    return frames;
}

bool silent(const Frame& f)
{
    return f.left == 0 && f.right == 0;
}

// The captured frame that stands for each sent one (as many as match in
// order, then the first that is neither a match nor silence), and the count
// of silent frames in between.
std::vector<Frame> matchFrames(const std::vector<uint8_t>& capture, const std::vector<uint8_t>& sent,
                               bool (*same)(const Frame& heard, const Frame& sent), int channels, size_t* silence)
{
    std::vector<Frame> heard = framesOf(capture, channels), expected = framesOf(sent, channels), matched;
    size_t padding = 0, i = 0;
    for (const Frame& f : expected) {
        while (i < heard.size() && !same(heard[i], f) && silent(heard[i])) {
            ++padding;
            ++i;
        }
        if (i == heard.size() || !same(heard[i], f))
            break;
        matched.push_back(heard[i++]);
    }
    for (; i < heard.size() && silent(heard[i]); ++i)
        ++padding;
    if (i < heard.size())
        matched.push_back(heard[i]); // something that is neither sent nor silence
    if (silence != nullptr)
        *silence = padding;
    return matched;
}

} // namespace

bool equal(const Frame& heard, const Frame& sent)
{
    return heard.left == sent.left && heard.right == sent.right;
}

bool leftAtHalf(const Frame& heard, const Frame& sent)
{
    return std::abs(heard.left - sent.left / 2) <= 1 && heard.right == sent.right;
}

::testing::AssertionResult playedExactly(const std::vector<uint8_t>& capture, const std::vector<uint8_t>& sent,
                                         bool (*same)(const Frame&, const Frame&), int channels)
{
    size_t silence = 0;
    std::vector<Frame> matched = matchFrames(capture, sent, same, channels, &silence);
    size_t count = sent.size() / (2 * channels);
    std::printf("%zu of %zu frames heard in order, %zu silent frames around them\n", std::min(matched.size(), count),
                count, silence);
    if (matched.size() == count && capture.size() % (2 * channels) == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "frame " << std::min(matched.size(), count) << " of " << count
                                         << " differs or is missing; " << capture.size() << " bytes captured";
}
