#include "effect.h"

#include <cstdio>
#include <cstring>

EffectRegistry effectRegistry;

static bool beginsWith(const std::string& stored, const char* query)
{
    return std::strncmp(stored.c_str(), query, std::strlen(query)) == 0;
}

bool registerEffect(const char* name, Effect* effect)
{
    bool clash = false;
    for (int i = 0; i < effectRegistry.count; ++i) {
        if (beginsWith(effectRegistry.names[i], name)) {
            std::printf("double Effect name found: %s. check that wil you\n", name);
            clash = true;
        }
    }
    if (clash)
        return false;
    if (effectRegistry.count >= EffectRegistry::capacity) {
        std::printf("effect registry full (%d effects): %s not registered\n", EffectRegistry::capacity, name);
        return false;
    }
    effectRegistry.names[effectRegistry.count] = name;
    effectRegistry.effects[effectRegistry.count] = effect;
    ++effectRegistry.count;
    return true;
}

Effect* findEffect(const char* name)
{
    for (int i = 0; i < effectRegistry.count; ++i)
        if (beginsWith(effectRegistry.names[i], name))
            return effectRegistry.effects[i];
    return nullptr;
}

void clearEffectRegistry()
{
    for (int i = 0; i < effectRegistry.count; ++i) {
        effectRegistry.names[i].clear();
        effectRegistry.effects[i] = nullptr;
    }
    effectRegistry.count = 0;
}

// A destroyed effect leaves the registry, so that no lookup can reach it.
static void unregisterEffect(const Effect* effect)
{
    int kept = 0;
    for (int i = 0; i < effectRegistry.count; ++i) {
        if (effectRegistry.effects[i] == effect)
            continue;
        effectRegistry.names[kept] = std::move(effectRegistry.names[i]);
        effectRegistry.effects[kept] = effectRegistry.effects[i];
        ++kept;
    }
    for (int i = kept; i < effectRegistry.count; ++i) {
        effectRegistry.names[i].clear();
        effectRegistry.effects[i] = nullptr;
    }
    effectRegistry.count = kept;
}

Effect::~Effect()
{
    unregisterEffect(this);
}

void Effect::registerAs(const char* name)
{
    registerEffect(name, this);
    textureCount = 0;
    slotNames.clear();
}

int Effect::addTexture(const char* fileName)
{
    if (textureCount >= maxSlots) {
        std::printf("too many textures (at most %d): %s not added\n", maxSlots, fileName);
        return textureCount;
    }
    slotNames.emplace_back(fileName);
    return ++textureCount;
}

GLuint Effect::textureId(int slot) const
{
    return slotResolved(slot) ? slotIds[slot] : unresolved;
}

GLenum Effect::textureTarget(int slot) const
{
    return slotResolved(slot) ? slotTargets[slot] : unresolved;
}

const unsigned char* Effect::texturePixels(int slot) const
{
    return slotResolved(slot) ? slotPixels[slot] : nullptr;
}
