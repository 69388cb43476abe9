// Writes small PNG files of every colour type for the decoder's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PngLayout {
    uint32_t width = 4;
    uint32_t height = 4;
    int bitDepth = 8;
    int colourType = 2; // PNG_COLOR_TYPE_RGB
    // Raw rows as libpng takes them (big-endian samples for 16 bit).
    std::vector<uint8_t> rows;
    // Palette entries (RGB triples) and transparency for palette images.
    std::vector<uint8_t> palette;
    std::vector<uint8_t> transparency;
    double gamma = 0.0; // written as a gAMA chunk when not 0
};

bool writePng(const std::string& path, const PngLayout& layout);
// An RGB image filled with one colour.
bool writeSolidRgbPng(const std::string& path, uint32_t width, uint32_t height, uint8_t r, uint8_t g, uint8_t b);
