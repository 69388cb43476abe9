// The image table and its texture objects, and the resolution of every
// effect's texture slots against it.
#include "config.h"
#include "effect.h"
#include "images.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

ImageRecord images[maxImages];
int imageCount = 0;
std::vector<GLuint> textureNames;
std::vector<GLclampf> texturePriorities;

void resetImages()
{
    for (ImageRecord& record : images) {
        // The decoded pixels belong to the record (malloc'd by loadPng).
        std::free(const_cast<unsigned char*>(record.pixels));
        record = ImageRecord{};
    }
    imageCount = 0;
    textureNames.clear();
    texturePriorities.clear();
}

// Decodes one record's file and uploads it into the bound texture object.
static void uploadImage(ImageRecord& record)
{
    if (imagePath.size() + record.name.size() >= static_cast<size_t>(imagePathCapacity)) {
        std::fprintf(stderr, "image path too long (more than %d characters): %s%s\n", imagePathCapacity - 1,
                     imagePath.c_str(), record.name.c_str());
        return;
    }
    std::string path = imagePath + record.name;
    PngImage* image = loadPng(path.c_str());
    if (pngStatus == pngUnreadable)
        std::fprintf(stderr, "bad png bad bad bad png %s\n", record.name.c_str());
    else if (pngStatus == pngNoMemory)
        std::fprintf(stderr, "no mem no no no mem %s\n", record.name.c_str());
    if (!image)
        return;

    GLenum format = image->channels == 4 ? GL_RGBA : GL_RGB;
    GLint components = image->channels;
    if (record.target == GL_TEXTURE_2D)
        glTexImage2D(GL_TEXTURE_2D, 0, components, image->width, image->height, 0, format, GL_UNSIGNED_BYTE,
                     image->pixels);
    else
        glTexImage1D(record.target, 0, components, image->width, 0, format, GL_UNSIGNED_BYTE, image->pixels);
    // The pixels stay for the life of the program: effects sample them.
    record.pixels = image->pixels;
    record.width = image->width;
    record.height = image->height;
    record.channels = image->channels;
    image->pixels = nullptr;
    freePng(image);
}

void loadTextures()
{
    textureNames.assign(imageCount, 0);
    texturePriorities.resize(imageCount);
    for (int i = 0; i < imageCount; ++i)
        texturePriorities[i] = images[i].priority;
    if (imageCount == 0)
        return;
    glGenTextures(imageCount, textureNames.data());

    // Rows are tightly packed; the default alignment of 4 would read past
    // the end of an RGB image whose row is not a multiple of 4 bytes.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < imageCount; ++i) {
        ImageRecord& record = images[i];
        glBindTexture(record.target, textureNames[i]);
        for (int p = 0; p < record.texParameterCount; ++p)
            glTexParameteri(record.target, record.texParameters[p].name, record.texParameters[p].value);
        for (int p = 0; p < record.texEnvCount; ++p)
            glTexEnvi(GL_TEXTURE_ENV, record.texEnvs[p].name, record.texEnvs[p].value);
        uploadImage(record);
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    glPrioritizeTextures(imageCount, textureNames.data(), texturePriorities.data());
}

static int findImage(const char* file)
{
    size_t length = std::strlen(file);
    for (int i = 0; i < imageCount; ++i)
        if (std::strncmp(images[i].name.c_str(), file, length) == 0)
            return i;
    return -1;
}

GLuint findTextureName(const char* file)
{
    int i = findImage(file);
    return i >= 0 && i < static_cast<int>(textureNames.size()) ? textureNames[i] : Effect::unresolved;
}

GLenum findTextureTarget(const char* file)
{
    int i = findImage(file);
    return i >= 0 ? images[i].target : Effect::unresolved;
}

const unsigned char* findImagePixels(const char* file)
{
    int i = findImage(file);
    return i >= 0 ? images[i].pixels : nullptr;
}

const ImageRecord* findImageByPixels(const unsigned char* pixels)
{
    if (!pixels)
        return nullptr;
    for (int i = 0; i < imageCount; ++i)
        if (images[i].pixels == pixels)
            return &images[i];
    return nullptr;
}

void Effect::resolveTextures()
{
    slotIds.assign(textureCount, unresolved);
    slotTargets.assign(textureCount, unresolved);
    slotPixels.assign(textureCount, nullptr);
    for (int i = 0; i < textureCount; ++i) {
        const char* file = slotNames[i].c_str();
        slotIds[i] = findTextureName(file);
        if (slotIds[i] == unresolved)
            std::printf("yo men, me koed not lood %s\n", file);
        slotTargets[i] = findTextureTarget(file);
        if (slotTargets[i] == unresolved)
            std::printf("yo men, me koed not lood %s\n", file);
        slotPixels[i] = findImagePixels(file);
        if (!slotPixels[i])
            std::printf("yo man, me koed not lood %s\n", file);
    }
}
