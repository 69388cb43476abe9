// Glyph shapes of the 5 x 7 font and the smooth field that enlarges them.
#include "pixel_font.h"

#include <algorithm>
#include <cmath>

namespace {

struct Glyph {
    char code;
    const char* rows[glyphHeight];
};

// '#' is a lit pixel. Letters are capitals, plus the small r of "OrB".
constexpr Glyph glyphs[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"###..", ".#...", ".#...", ".#...", ".#...", ".#...", "###.."}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {".#...", "##...", ".#...", ".#...", ".#...", ".#...", "###.."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."}},
    {'4', {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {"..##.", ".#...", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "...#.", ".##.."}},
    {'!', {"#....", "#....", "#....", "#....", "#....", ".....", "#...."}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".....", "#...."}},
    {',', {".....", ".....", ".....", ".....", ".....", ".#...", "#...."}},
    {'\'', {"#....", "#....", ".....", ".....", ".....", ".....", "....."}},
    {':', {".....", ".....", "#....", ".....", ".....", "#....", "....."}},
    {'-', {".....", ".....", ".....", "####.", ".....", ".....", "....."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'=', {".....", ".....", "#####", ".....", "#####", ".....", "....."}},
    {'*', {".....", "..#..", "#.#.#", ".###.", "#.#.#", "..#..", "....."}},
    {'#', {".#.#.", ".#.#.", "#####", ".#.#.", "#####", ".#.#.", ".#.#."}},
    {'%', {"##...", "##..#", "...#.", "..#..", ".#...", "#..##", "...##"}},
    {'@', {".###.", "#...#", "#.###", "#.#.#", "#.###", "#....", ".####"}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
};

const Glyph* findGlyph(char code)
{
    for (const Glyph& glyph : glyphs)
        if (glyph.code == code)
            return &glyph;
    return nullptr;
}

// Number of columns up to and including the last lit one.
int usedColumns(const Glyph& glyph)
{
    int used = 0;
    for (const char* row : glyph.rows)
        for (int column = 0; column < glyphWidth; ++column)
            if (row[column] == '#')
                used = std::max(used, column + 1);
    return used;
}

// Reach of one lit pixel's contribution, in font pixels.
constexpr float reach = 1.1f;

} // namespace

bool glyphPixel(char code, int column, int row)
{
    const Glyph* glyph = findGlyph(code);
    return glyph && column >= 0 && row >= 0 && column < glyphWidth && row < glyphHeight &&
           glyph->rows[row][column] == '#';
}

TextField::TextField(std::string_view text, bool monospaced)
{
    constexpr int spaceWidth = 3;
    std::vector<std::pair<const Glyph*, int>> placed; // glyph (null for a gap) and its left column
    for (char code : text) {
        const Glyph* glyph = findGlyph(code);
        int advance = monospaced ? glyphWidth + 1 : glyph ? usedColumns(*glyph) + 1 : spaceWidth + 1;
        placed.emplace_back(glyph, columns);
        columns += advance;
    }
    if (columns > 0)
        columns -= 1; // no gap after the last glyph
    grid.assign(static_cast<size_t>(columns) * glyphHeight, false);
    for (auto [glyph, left] : placed)
        if (glyph)
            for (int row = 0; row < glyphHeight; ++row)
                for (int column = 0; column < glyphWidth && left + column < columns; ++column)
                    if (glyph->rows[row][column] == '#')
                        grid[static_cast<size_t>(row) * columns + left + column] = true;
}

bool TextField::lit(int column, int row) const
{
    return column >= 0 && row >= 0 && column < columns && row < glyphHeight &&
           grid[static_cast<size_t>(row) * columns + column];
}

float TextField::at(float fx, float fy) const
{
    // Each lit pixel adds a smooth bump (1 - (d / reach)^2)^2 around its centre.
    float sum = 0.0f;
    int firstColumn = static_cast<int>(std::floor(fx - 0.5f - reach));
    int firstRow = static_cast<int>(std::floor(fy - 0.5f - reach));
    for (int row = firstRow; row <= firstRow + 3; ++row)
        for (int column = firstColumn; column <= firstColumn + 3; ++column) {
            if (!lit(column, row))
                continue;
            float dx = fx - (column + 0.5f);
            float dy = fy - (row + 0.5f);
            float q = (dx * dx + dy * dy) / (reach * reach);
            if (q < 1.0f)
                sum += (1.0f - q) * (1.0f - q);
        }
    return sum;
}

TextPlacement fitText(const TextField& text, float centreX, float centreY, float boxWidth, float boxHeight,
                      float tallness)
{
    float pixelWidth = std::min(boxWidth / text.width(), boxHeight / (text.height() * tallness));
    return {centreX, centreY, pixelWidth, pixelWidth * tallness};
}

Mask textMask(const TextField& text, const TextPlacement& place, int width, int height, float level)
{
    constexpr int samples = 4; // per axis, per image pixel
    Mask mask(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int inside = 0;
            for (int sy = 0; sy < samples; ++sy)
                for (int sx = 0; sx < samples; ++sx) {
                    float px = x + (sx + 0.5f) / samples;
                    float py = y + (sy + 0.5f) / samples;
                    float fy = (py - place.centreY) / place.pixelHeight + text.height() / 2.0f;
                    float fx = (px - place.centreX) / place.pixelWidth + text.width() / 2.0f +
                               place.slant * (fy - text.height() / 2.0f);
                    if (text.at(fx, fy) >= level)
                        ++inside;
                }
            mask.at(x, y) = static_cast<float>(inside) / (samples * samples);
        }
    return mask;
}
