#include "alsa_capture.h"
#include "wave_files.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

std::string captureDir;

} // namespace

std::string alsaCapturePath()
{
    return captureDir + "/capture.raw";
}

void setUpAlsaCapture()
{
    char pattern[] = "/tmp/vexa-alsa-XXXXXX";
    captureDir = mkdtemp(pattern) != nullptr ? pattern : "/tmp";
    std::string config = captureDir + "/asound.conf";
    std::FILE* f = std::fopen(config.c_str(), "w");
    if (f != nullptr) {
        std::fprintf(f, "pcm.!default {\n  type file\n  slave.pcm { type null }\n  file \"%s\"\n  format \"raw\"\n}\n",
                     alsaCapturePath().c_str());
        std::fclose(f);
    }
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
    std::atexit([] { std::filesystem::remove_all(captureDir); });
}

std::vector<uint8_t> alsaCaptured()
{
    return readBytes(alsaCapturePath());
}
