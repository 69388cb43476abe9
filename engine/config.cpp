#include "config.h"

#include "effect.h"
#include "images.h"
#include "timeline.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

bool fullscreen = false;
bool soundEnabled = true;
std::string imagePath;
std::string soundPath;
char musicPath[musicPathCapacity];

void resetConfig()
{
    fullscreen = false;
    soundEnabled = true;
    imagePath.clear();
    soundPath.clear();
    musicPath[0] = '\0';
}

namespace {

enum class Section { none, demo, effects, parameters, images, music };

constexpr int lineCapacity = 80; // one read: at most 79 characters

// A token matches a keyword when it begins with the whole keyword.
bool matches(const char* token, const char* keyword)
{
    return std::strncmp(token, keyword, std::strlen(keyword)) == 0;
}

struct Reader {
    Section section = Section::none;
    // The record that "target", "texParameter" and "texEnv" lines address:
    // none before the first "name" line or after a refused one.
    ImageRecord* currentImage = nullptr;

    void line(const char* text);
    void demoLine(const char* text);
    void effectsLine(const char* text);
    void parametersLine(const char* text);
    void imagesLine(const char* text);
    void musicLine(const char* text);
    void openImage(const char* name);
    void addTexParameter(const char* name, const char* value);
    void addTexEnv(const char* name, const char* value);
};

bool switchSection(const char* text, Section& section)
{
    static const struct {
        const char* header;
        Section section;
    } headers[] = {
        {"[demo]", Section::demo},     {"[effects]", Section::effects}, {"[parameters]", Section::parameters},
        {"[images]", Section::images}, {"[music]", Section::music},
    };
    for (const auto& h : headers) {
        if (matches(text, h.header)) {
            section = h.section;
            return true;
        }
    }
    return false;
}

void Reader::line(const char* text)
{
    if (text[0] == ';' || text[0] == '\n')
        return;
    if (switchSection(text, section))
        return;
    switch (section) {
    case Section::none: break;
    case Section::demo: demoLine(text); break;
    case Section::effects: effectsLine(text); break;
    case Section::parameters: parametersLine(text); break;
    case Section::images: imagesLine(text); break;
    case Section::music: musicLine(text); break;
    }
}

void Reader::demoLine(const char* text)
{
    char key[lineCapacity], value[lineCapacity];
    if (std::sscanf(text, "%79s = %79s", key, value) != 2) {
        std::printf("Error line: %s", text);
        return;
    }
    if (matches(key, "fullscreen") && matches(value, "true"))
        fullscreen = true;
    if (matches(key, "imagepath"))
        imagePath = value;
    if (matches(key, "soundpath"))
        soundPath = value;
    if (matches(key, "sound") && matches(value, "false"))
        soundEnabled = false;
    if (matches(key, "starttime"))
        std::printf("starttime is ignored unless DEBUG is defined\n");
}

// Times are unsigned 32-bit milliseconds; a larger number is refused. They
// are read as 64-bit numbers: where long is 32 bits (i386), scanf would clamp
// a larger one to 4294967295, which fits.
bool fitsTime(unsigned long long value)
{
    return value <= 0xffffffffULL;
}

void Reader::effectsLine(const char* text)
{
    char name[lineCapacity];
    unsigned long long start = 0, end = 0;
    unsigned track = 0, layer = 0;
    if (std::sscanf(text, "%79s %llu %llu %x %x", name, &start, &end, &track, &layer) != 5) {
        std::printf("Error line: %s\n", text);
        return;
    }
    if (!fitsTime(start) || !fitsTime(end)) {
        std::printf("time out of range (at most 4294967295 ms): %s entry dropped\n", name);
        return;
    }
    addTimelineEntry(name, static_cast<uint32_t>(start), static_cast<uint32_t>(end), track, layer);
}

void Reader::parametersLine(const char* text)
{
    float value = 0.0f;
    unsigned long long time = 0;
    unsigned track = 0;
    if (std::sscanf(text, "%f %llu %x", &value, &time, &track) != 3) {
        std::printf("Error line: %s\n", text);
        return;
    }
    if (!fitsTime(time)) {
        std::printf("time out of range (at most 4294967295 ms): key dropped\n");
        return;
    }
    addParameterKey(value, static_cast<uint32_t>(time), track);
}

void Reader::openImage(const char* name)
{
    if (imageCount >= maxImages) {
        std::printf("too many images (at most %d): %s refused\n", maxImages, name);
        currentImage = nullptr;
        return;
    }
    currentImage = &images[imageCount++];
    currentImage->name = name;
}

GLint texParameterName(const char* text)
{
    static const struct {
        const char* text;
        GLint value;
    } names[] = {
        {"GL_TEXTURE_MIN_FILTER", GL_TEXTURE_MIN_FILTER},
        {"GL_TEXTURE_MAG_FILTER", GL_TEXTURE_MAG_FILTER},
        {"GL_TEXTURE_WRAP_S", GL_TEXTURE_WRAP_S},
        {"GL_TEXTURE_WRAP_T", GL_TEXTURE_WRAP_T},
    };
    for (const auto& n : names)
        if (matches(text, n.text))
            return n.value;
    return 0;
}

GLint texParameterValue(const char* text)
{
    static const struct {
        const char* text;
        GLint value;
    } values[] = {
        {"GL_LINEAR", GL_LINEAR},
        {"GL_NEAREST", GL_NEAREST},
        {"GL_REPEAT", GL_REPEAT},
        {"GL_CLAMP", GL_CLAMP},
    };
    for (const auto& v : values)
        if (matches(text, v.text))
            return v.value;
    return 0;
}

void Reader::addTexParameter(const char* name, const char* value)
{
    if (currentImage->texParameterCount >= maxTexturePairs) {
        std::printf("too many texParameter lines for %s (at most %d): line dropped\n", currentImage->name.c_str(),
                    maxTexturePairs);
        return;
    }
    TexturePair& pair = currentImage->texParameters[currentImage->texParameterCount++];
    pair.name = texParameterName(name);
    pair.value = texParameterValue(value);
}

GLint texEnvMode(const char* text)
{
    static const struct {
        const char* text;
        GLint value;
    } modes[] = {
        {"GL_DECAL", GL_DECAL},
        {"GL_BLEND", GL_BLEND},
        {"GL_REPLACE", GL_REPLACE},
        {"GL_MODULATE", GL_MODULATE},
        // Sphere mapping is not a texture environment mode: it modulates.
        {"GL_SPHERE_MAP", GL_MODULATE},
    };
    for (const auto& m : modes)
        if (matches(text, m.text))
            return m.value;
    return 0;
}

void Reader::addTexEnv(const char* name, const char* value)
{
    if (currentImage->texEnvCount >= maxTexturePairs) {
        std::printf("too many texEnv lines for %s (at most %d): line dropped\n", currentImage->name.c_str(),
                    maxTexturePairs);
        return;
    }
    TexturePair& pair = currentImage->texEnvs[currentImage->texEnvCount++];
    if (matches(name, "GL_TEXTURE_ENV_MODE")) {
        pair.name = GL_TEXTURE_ENV_MODE;
        pair.value = texEnvMode(value);
    } else if (matches(name, "GL_TEXTURE_ENV_COLOR")) {
        pair.name = GL_TEXTURE_ENV_COLOR;
        pair.value = static_cast<GLint>(std::atol(value));
    }
}

void Reader::imagesLine(const char* text)
{
    char keyword[lineCapacity], value[lineCapacity], value2[lineCapacity];
    value2[0] = '\0';
    if (std::sscanf(text, "%79s %79s %79s", keyword, value, value2) < 2)
        return;
    if (matches(keyword, "name"))
        openImage(value);
    if (matches(keyword, "priority")) {
        // Sets the priority of the image that the next "name" line opens.
        if (imageCount < maxImages)
            images[imageCount].priority = static_cast<float>(std::atof(value));
        else
            std::printf("too many images (at most %d): priority %s refused\n", maxImages, value);
    }
    bool needsImage = matches(keyword, "target") || matches(keyword, "texParameter") || matches(keyword, "texEnv");
    if (needsImage && !currentImage) {
        std::printf("%s line without an image: line dropped\n", keyword);
        return;
    }
    if (matches(keyword, "target")) {
        if (matches(value, "GL_TEXTURE_2D"))
            currentImage->target = GL_TEXTURE_2D;
        if (matches(value, "GL_TEXTURE_1D"))
            currentImage->target = GL_TEXTURE_1D;
    }
    if (matches(keyword, "texParameter"))
        addTexParameter(value, value2);
    if (matches(keyword, "texEnv"))
        addTexEnv(value, value2);
}

void Reader::musicLine(const char* text)
{
    char name[lineCapacity];
    if (std::sscanf(text, "%79s", name) != 1) {
        std::printf("Error line: %s\n", text);
        return;
    }
    std::string path = soundPath + name;
    if (path.size() >= static_cast<size_t>(musicPathCapacity)) {
        std::printf("music path too long (more than %d characters): %s refused\n", musicPathCapacity - 1, path.c_str());
        return;
    }
    std::memcpy(musicPath, path.c_str(), path.size() + 1);
}

} // namespace

void parseConfig(FILE* file)
{
    Reader reader;
    char text[lineCapacity];
    while (std::fgets(text, sizeof text, file))
        reader.line(text);
}

bool readConfig(const char* fileName)
{
    FILE* file = std::fopen(fileName, "r");
    if (!file) {
        std::printf("cannot open %s: the demo needs it in the working directory\n", fileName);
        return false;
    }
    parseConfig(file);
    loadTextures();
    for (int i = 0; i < effectRegistry.count; ++i)
        effectRegistry.effects[i]->resolveTextures();
    std::fclose(file);
    return true;
}
