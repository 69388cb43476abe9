// The image table of config.ini, PNG decoding with libpng, and the upload of
// every image as one texture object.
#pragma once

#include <GL/gl.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr int maxImages = 64;
constexpr int maxTexturePairs = 8;
// The image path (image directory followed by the file name) is formed in a
// buffer of this many bytes, terminator included.
constexpr int imagePathCapacity = 28;

struct TexturePair {
    GLint name;
    GLint value;
};

struct ImageRecord {
    std::string name; // relative to imagePath
    float priority = 0.0f;
    GLenum target = 0;
    const unsigned char* pixels = nullptr; // decoded image, kept until resetImages
    // Size of the decoded image, so that effects reading pixels stay inside it.
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t channels = 0;
    int texParameterCount = 0;
    TexturePair texParameters[maxTexturePairs] = {};
    int texEnvCount = 0;
    TexturePair texEnvs[maxTexturePairs] = {};
};

extern ImageRecord images[maxImages];
extern int imageCount;
extern std::vector<GLuint> textureNames;
extern std::vector<GLclampf> texturePriorities;

// A decoded image: height rows of width * channels bytes, top row first.
struct PngImage {
    uint32_t width = 0;
    uint32_t height = 0;
    unsigned char* pixels = nullptr; // malloc'd
    uint8_t channels = 0;            // 3 (RGB) or 4 (RGBA)
};

enum PngStatus {
    pngOk = 0,
    pngUnreadable = 1,    // cannot open, not a PNG, or a libpng read error
    pngNoMemory = 2,      // allocation or libpng structure creation failed
    pngNotPowerOfTwo = 3, // width or height not a power of two (still usable)
    pngBadChannels = 4,   // channel count outside 1 to 4 (still usable)
};

extern int pngStatus;

// Decodes path to 8-bit RGB or RGBA; null on status 1 or 2.
PngImage* loadPng(const char* path);
// Frees an image returned by loadPng, pixels included.
void freePng(PngImage* image);
bool isPowerOfTwo(uint32_t value);

// Uploads every image of the table (at the end of config.ini).
void loadTextures();
// Lookups by file-name prefix, first match in table order.
GLuint findTextureName(const char* file);
GLenum findTextureTarget(const char* file);
const unsigned char* findImagePixels(const char* file);
// The record whose decoded pixels these are (as texturePixels hands them out),
// or null.
const ImageRecord* findImageByPixels(const unsigned char* pixels);

// Empties the table, frees the decoded pixels and forgets its texture names
// (does not touch GL).
void resetImages();
