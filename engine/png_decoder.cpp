// PNG decoding into tightly packed 8-bit RGB or RGBA rows, top row first.
#include "images.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <new>

int pngStatus = pngOk;

bool isPowerOfTwo(uint32_t value)
{
    uint64_t power = 1;
    while (power < value)
        power *= 2;
    return value != 0 && power == value;
}

// Requests the transforms that turn every PNG into 8-bit RGB or RGBA.
static void requestTransforms(png_structp png, png_infop info, int bitDepth, int colourType)
{
    if (colourType == PNG_COLOR_TYPE_PALETTE)
        png_set_expand(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_expand(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    double fileGamma = 0.0;
    if (png_get_gAMA(png, info, &fileGamma))
        png_set_gamma(png, static_cast<double>(2.2f), fileGamma);
}

// Reads the rows after the header; returns the pixel block or null. Kept
// free of C++ objects because libpng reports errors with longjmp.
static unsigned char* readPixels(png_structp png, png_infop info, PngImage* image, bool* noMemory)
{
    unsigned char* volatile block = nullptr;
    png_bytep* volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        std::free(rows);
        std::free(block);
        return nullptr;
    }
    png_read_update_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    image->channels = png_get_channels(png, info);
    // At least one byte each, so that an empty image is not mistaken for a failure.
    size_t blockBytes = rowBytes * image->height;
    block = static_cast<unsigned char*>(std::malloc(blockBytes > 0 ? blockBytes : 1));
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * (image->height > 0 ? image->height : 1)));
    if (!block || !rows) {
        *noMemory = true;
        std::free(rows);
        std::free(block);
        return nullptr;
    }
    for (uint32_t r = 0; r < image->height; ++r)
        rows[r] = block + r * rowBytes;
    png_read_image(png, rows);
    std::free(rows);
    rows = nullptr;
    png_read_end(png, nullptr);
    return block;
}

// Reads header and pixels from an open file whose signature has been checked.
static int decodeOpenFile(FILE* file, PngImage* image)
{
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return pngNoMemory;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return pngNoMemory;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return pngUnreadable;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int bitDepth = 0, colourType = 0;
    png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, nullptr, nullptr, nullptr);
    image->width = width;
    image->height = height;
    requestTransforms(png, info, bitDepth, colourType);

    bool noMemory = false;
    image->pixels = readPixels(png, info, image, &noMemory);
    png_destroy_read_struct(&png, &info, nullptr);

    if (!image->pixels)
        return noMemory ? pngNoMemory : pngUnreadable;
    if (!isPowerOfTwo(image->width) || !isPowerOfTwo(image->height))
        return pngNotPowerOfTwo;
    if (image->channels < 1 || image->channels > 4)
        return pngBadChannels;
    return pngOk;
}

PngImage* loadPng(const char* path)
{
    pngStatus = pngOk;
    FILE* file = std::fopen(path, "rb");
    if (!file) {
        pngStatus = pngUnreadable;
        return nullptr;
    }
    auto* image = new (std::nothrow) PngImage;
    if (!image) {
        pngStatus = pngNoMemory;
        std::fclose(file);
        return nullptr;
    }
    png_byte signature[8];
    if (std::fread(signature, 1, 8, file) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        pngStatus = pngUnreadable;
    else
        pngStatus = decodeOpenFile(file, image);
    std::fclose(file);

    if (pngStatus == pngUnreadable || pngStatus == pngNoMemory) {
        freePng(image);
        return nullptr;
    }
    return image;
}

void freePng(PngImage* image)
{
    if (!image)
        return;
    std::free(image->pixels);
    delete image;
}
