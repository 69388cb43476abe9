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
#include "planes.h"
#include "puntjes.h"
#include "quad.h"
#include "rays.h"
#include "sphere.h"
#include "text.h"
#include "vierkant.h"
#include "vlakje.h"
#include "weights.h"

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
Planes* planes = nullptr;
Puntjes* puntjes = nullptr;
Quad* quad = nullptr;
Rays* rays = nullptr;
Sphere* sphere = nullptr;
Text* text = nullptr;
Vierkant* vierkant = nullptr;
Vlakje* vlakje = nullptr;
Weights* weights = nullptr;

// Registry order matters twice: it is the order of lookups by prefix, and
// Bobel, Puntjes, Text and Vierkant reseed rand(), which fixes the random
// draws of every effect constructed after them.
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
    planes = new Planes("planes");
    puntjes = new Puntjes("puntjes");
    quad = new Quad("quad");
    rays = new Rays("rays");
    sphere = new Sphere("sphere");
    text = new Text("text");
    vierkant = new Vierkant("vierkant");
    vlakje = new Vlakje("vlakje");
    weights = new Weights("weights");
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
    destroy(planes);
    destroy(puntjes);
    destroy(quad);
    destroy(rays);
    destroy(sphere);
    destroy(text);
    destroy(vierkant);
    destroy(vlakje);
    destroy(weights);
}
