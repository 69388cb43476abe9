// The effect base class and the global effect registry.
//
// Every visual effect derives from Effect. Its constructor registers it under a
// name (looked up by prefix from config.ini) and names the image files it uses;
// once the images are loaded, resolveTextures() turns those names into texture
// ids, targets and decoded pixels.
#pragma once

#include <GL/gl.h>

#include <string>
#include <vector>

class Effect {
public:
    static constexpr int maxSlots = 32;
    // Marks a texture id or target whose image was not found.
    static constexpr unsigned unresolved = 666;

    Effect() = default;
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;
    virtual ~Effect();

    // elapsedMs: milliseconds since the start of the current timeline entry;
    // progress: elapsedMs over the entry's length; value: its parameter track.
    virtual void draw(int elapsedMs, float progress, float value) = 0;

    void registerAs(const char* name);
    // Names the image of the next slot; returns the new slot count.
    int addTexture(const char* fileName);
    // Looks every slot's file name up in the image table (see images.cpp).
    void resolveTextures();

    GLuint textureId(int slot) const;
    GLenum textureTarget(int slot) const;
    // Decoded pixels of the slot's image, or null when unresolved.
    const unsigned char* texturePixels(int slot) const;

    int textureCount = 0;
    std::vector<GLenum> slotTargets;
    std::vector<GLuint> slotIds;
    std::vector<std::string> slotNames;
    std::vector<const unsigned char*> slotPixels;

private:
    bool slotResolved(int slot) const { return slot >= 0 && slot < static_cast<int>(slotIds.size()); }
};

struct EffectRegistry {
    static constexpr int capacity = 80;
    int count = 0;
    std::string names[capacity];
    Effect* effects[capacity] = {};
};

extern EffectRegistry effectRegistry;

// Stores name and effect unless a registered name begins with name; a clash
// prints its message and stores nothing. Returns whether it was stored.
bool registerEffect(const char* name, Effect* effect);
// The first registered effect whose name begins with name, or null.
Effect* findEffect(const char* name);
// Empties the registry (used between tests).
void clearEffectRegistry();
