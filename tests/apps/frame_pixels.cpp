#include "frame_pixels.h"

#include "images.h"

#include <algorithm>
#include <cstddef>

namespace {

// Counts the pixels of a frame for which the test holds; -1 if unreadable.
template <typename Test>
long countPixels(const std::string& path, Test test, size_t* total = nullptr)
{
    PngImage* frame = loadPng(path.c_str());
    if (!frame)
        return -1;
    size_t pixels = size_t(frame->width) * frame->height;
    long count = 0;
    for (size_t i = 0; i < pixels; ++i)
        count += test(frame->pixels + 3 * i);
    freePng(frame);
    if (total)
        *total = pixels;
    return count;
}

} // namespace

double litShare(const std::string& path, int minSum)
{
    size_t total = 0;
    long lit = countPixels(
        path, [minSum](const unsigned char* p) { return p[0] + p[1] + p[2] > minSum; }, &total);
    return lit < 0 || total == 0 ? -1 : double(lit) / double(total);
}

int saturatedPixels(const std::string& path)
{
    return static_cast<int>(countPixels(path, [](const unsigned char* p) {
        return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]}) > 60;
    }));
}
