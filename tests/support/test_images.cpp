#include "test_images.h"

#include <png.h>

#include <cstdio>

bool writePng(const std::string& path, const PngLayout& layout)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, layout.width, layout.height, layout.bitDepth, layout.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, reinterpret_cast<png_const_colorp>(layout.palette.data()),
                     static_cast<int>(layout.palette.size() / 3));
    if (!layout.transparency.empty())
        png_set_tRNS(png, info, layout.transparency.data(), static_cast<int>(layout.transparency.size()), nullptr);
    if (layout.gamma != 0.0)
        png_set_gAMA(png, info, layout.gamma);
    png_write_info(png, info);
    size_t rowBytes = png_get_rowbytes(png, info);
    for (uint32_t y = 0; y < layout.height; ++y)
        png_write_row(png, layout.rows.data() + y * rowBytes);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

bool writeSolidRgbPng(const std::string& path, uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b)
{
    PngLayout layout;
    layout.width = width;
    layout.height = height;
    for (uint32_t i = 0; i < width * height; ++i)
        layout.rows.insert(layout.rows.end(), {r, g, b});
    return writePng(path, layout);
}
