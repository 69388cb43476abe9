#include "all_effects.h"

#include "bobel.h"
#include "bubble.h"
#include "cone.h"
#include "decompose.h"
#include "disks.h"
#include "draaiding.h"
#include "jordan.h"
#include "morph.h"
#include "nookie.h"
#include "papier.h"
// Planes to Weights follow here.

Bobel* bobel = nullptr;
Bubble* bubble = nullptr;
Cone* cone = nullptr;
Decompose* decompose = nullptr;
Disks* disks = nullptr;
Draaiding* draaiding = nullptr;
Jordan* jordan = nullptr;
Morph* morph = nullptr;
Nookie* nookie = nullptr;
Papier* papier = nullptr;
// Planes to Weights follow here.

// Registry order matters twice: it is the order of lookups by prefix, and
// Bobel reseeds rand(), which fixes the random draws of Morph and Papier.
void createAllEffects()
{
    bobel = new Bobel("bobel");
    bubble = new Bubble("bubble");
    cone = new Cone("cone");
    decompose = new Decompose("decompose");
    disks = new Disks("disks");
    draaiding = new Draaiding("draaiding");
    jordan = new Jordan("jordan");
    morph = new Morph("morph");
    nookie = new Nookie("nookie");
    papier = new Papier("papier");
    // Planes to Weights follow here.
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
    destroy(cone);
    destroy(decompose);
    destroy(disks);
    destroy(draaiding);
    destroy(jordan);
    destroy(morph);
    destroy(nookie);
    destroy(papier);
    // Planes to Weights follow here.
}
