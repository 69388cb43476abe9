#include "all_effects.h"

#include "bobel.h"
#include "bubble.h"
// (cone.h ... papier.h)
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
// (cone ... papier)
Planes* planes = nullptr;
Puntjes* puntjes = nullptr;
Quad* quad = nullptr;
Rays* rays = nullptr;
Sphere* sphere = nullptr;
Text* text = nullptr;
Vierkant* vierkant = nullptr;
Vlakje* vlakje = nullptr;
Weights* weights = nullptr;

// The order is the registry's, and it fixes the random numbers: Bobel seeds
// the generator, Puntjes, Text and Vierkant reseed it for those after them.
void createAllEffects()
{
    bobel = new Bobel("bobel");
    bubble = new Bubble("bubble");
    // (cone ... papier go here, in registry order)
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
    // (cone ... papier)
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
