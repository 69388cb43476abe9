// An effect that draws nothing and records how the timeline called it.
#pragma once

#include "effect.h"

#include <vector>

struct DrawCall {
    int elapsedMs;
    float progress;
    float value;
};

class ProbeEffect : public Effect {
public:
    explicit ProbeEffect(const char* name, std::vector<const char*> files = {})
    {
        registerAs(name);
        for (const char* file : files)
            addTexture(file);
    }
    void draw(int elapsedMs, float progress, float value) override { calls.push_back({elapsedMs, progress, value}); }

    std::vector<DrawCall> calls;
};
