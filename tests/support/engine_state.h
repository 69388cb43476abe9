// Puts the engine's global tables back to their start-up state between tests.
#pragma once

#include "config.h"
#include "effect.h"
#include "images.h"
#include "timeline.h"

inline void resetEngineState()
{
    clearEffectRegistry();
    resetTimeline();
    resetImages();
    resetConfig();
}
