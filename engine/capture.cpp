#include "capture.h"

#include "soundtrack_capture.h"

#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

CaptureSettings capture;

// A frame of the show at 640 x 480 takes 135 kB on average (157 frames of the
// demo at 1 fps: 21 MB, the largest 326 kB); the soundtrack is 16-bit stereo
// at 44.1 kHz.
constexpr double frameBytes = 135000;
constexpr double soundtrackBytesPerSecond = 44100 * 4;

// Progress is redrawn in place on a terminal only; a log gets the summaries.
static bool showProgress()
{
    static const bool terminal = isatty(fileno(stdout));
    return terminal;
}

static std::string megabytes(double bytes)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1e6);
    return text;
}

// The folder as a shell word: quoted when it holds anything but plain characters.
static std::string shellWord(const std::string& word)
{
    if (!word.empty() &&
        word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_./-+:=%") ==
            std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

static void removeArguments(int* argc, char** argv, int at, int count)
{
    for (int i = at; i + count <= *argc; ++i)
        argv[i] = argv[i + count];
    *argc -= count;
}

bool parseCaptureOptions(int* argc, char** argv)
{
    for (int i = 1; i < *argc;) {
        bool isCapture = std::strcmp(argv[i], "--capture") == 0;
        bool isFps = std::strcmp(argv[i], "--fps") == 0;
        if (!isCapture && !isFps) {
            ++i;
            continue;
        }
        if (i + 1 >= *argc) {
            std::fprintf(stderr, "%s needs a value\n", argv[i]);
            return false;
        }
        const char* value = argv[i + 1];
        if (isCapture) {
            capture.enabled = true;
            capture.directory = value;
        } else {
            char* end = nullptr;
            unsigned long fps = std::strtoul(value, &end, 10);
            if (*value == '\0' || *end != '\0' || fps < 1 || fps > 1000) {
                std::fprintf(stderr, "--fps wants a whole number from 1 to 1000, not %s\n", value);
                return false;
            }
            capture.fps = static_cast<unsigned>(fps);
        }
        removeArguments(argc, argv, i, 2);
    }
    return true;
}

bool prepareCaptureDirectory()
{
    std::error_code error;
    if (capture.enabled && !std::filesystem::is_directory(capture.directory, error)) {
        std::filesystem::create_directory(capture.directory, error);
        if (error) {
            std::fprintf(stderr, "cannot create capture directory %s: %s\n", capture.directory.c_str(),
                         error.message().c_str());
            return false;
        }
    }
    return true;
}

void announceCapture(uint32_t endMs, bool withSoundtrack)
{
    capture.frames = static_cast<uint32_t>(uint64_t{endMs} * capture.fps / 1000) + 1;
    double bytes = capture.frames * frameBytes + (withSoundtrack ? endMs / 1000.0 * soundtrackBytesPerSecond : 0);
    std::printf("capture: %u frames at %u fps into %s, about %s\n", capture.frames, capture.fps,
                capture.directory.c_str(), megabytes(bytes).c_str());
    std::fflush(stdout);
}

void reportCapture(bool withSoundtrack)
{
    if (showProgress())
        std::printf("\n");
    std::string soundtrack = soundtrackFile(capture.directory);
    std::error_code error;
    withSoundtrack = withSoundtrack && std::filesystem::exists(soundtrack, error);
    uint64_t bytes = capture.bytes;
    if (withSoundtrack)
        bytes += std::filesystem::file_size(soundtrack, error);
    std::string frames = shellWord(capture.directory + "/frame-%05d.png");
    std::printf("capture: wrote %u frames%s (%s) to %s\n"
                "make a video: ffmpeg -framerate %u -i %s%s -c:v libx264 -pix_fmt yuv420p%s demo.mp4\n",
                capture.frame, withSoundtrack ? " and the soundtrack" : "",
                megabytes(static_cast<double>(bytes)).c_str(), capture.directory.c_str(), capture.fps, frames.c_str(),
                withSoundtrack ? (" -i " + shellWord(soundtrack)).c_str() : "", withSoundtrack ? " -shortest" : "");
}

uint32_t captureTime()
{
    return static_cast<uint32_t>(static_cast<uint64_t>(capture.frame) * 1000 / capture.fps);
}

bool writeRgbPng(const char* path, const unsigned char* rgb, int width, int height)
{
    FILE* file = std::fopen(path, "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rgb + static_cast<size_t>(y) * width * 3);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

bool captureFrame(int width, int height)
{
    std::vector<unsigned char> bottomUp(static_cast<size_t>(width) * height * 3);
    GLint packAlignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, bottomUp.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);

    // OpenGL's rows start at the bottom; PNG's at the top.
    std::vector<unsigned char> topDown(bottomUp.size());
    size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(&topDown[y * rowBytes], &bottomUp[(height - 1 - y) * rowBytes], rowBytes);

    char name[32];
    std::snprintf(name, sizeof name, "/frame-%05u.png", capture.frame);
    std::string path = capture.directory + name;
    ++capture.frame;
    if (!writeRgbPng(path.c_str(), topDown.data(), width, height)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    std::error_code error;
    capture.bytes += std::filesystem::file_size(path, error);
    if (showProgress()) {
        std::printf("\rframe %u of %u", capture.frame, capture.frames);
        std::fflush(stdout);
    }
    return true;
}
