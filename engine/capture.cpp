#include "capture.h"

#include <GL/gl.h>
#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

CaptureSettings capture;

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
    return true;
}
