#include "all_effects.h"

#include "bobel.h"
#include "bubble.h"

Bobel* bobel = nullptr;
Bubble* bubble = nullptr;

void createAllEffects()
{
    bobel = new Bobel("bobel");
    bubble = new Bubble("bubble");
}

template <typename T>
static void destroy(T*& effect)
{
    delete effect;
    effect = nullptr;
}

void deleteAllEffects()
{
    destroy(bobel);
    destroy(bubble);
}
