// Feeds arbitrary bytes to the PNG decoder.
#include "images.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string path = "/tmp/vexa-png-fuzz-" + std::to_string(getpid()) + ".png";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    PngImage* image = loadPng(path.c_str());
    if (image) {
        // Touch every byte the decoder claims to have produced.
        volatile unsigned sum = 0;
        for (size_t i = 0; i < size_t(image->width) * image->height * image->channels; ++i)
            sum = sum + image->pixels[i];
    }
    freePng(image);
    return 0;
}
