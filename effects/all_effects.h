// The built-in effects, one global object each, constructed in registry order.
#pragma once

class Bobel;
class Bubble;
class Cone;
class Decompose;
class Disks;
class Draaiding;
class Jordan;
class Morph;
class Nookie;
class Papier;
class Planes;
class Puntjes;
class Quad;
class Rays;
class Sphere;
class Text;
class Vierkant;
class Vlakje;
class Weights;

extern Bobel* bobel;
extern Bubble* bubble;
extern Cone* cone;
extern Decompose* decompose;
extern Disks* disks;
extern Draaiding* draaiding;
extern Jordan* jordan;
extern Morph* morph;
extern Nookie* nookie;
extern Papier* papier;
extern Planes* planes;
extern Puntjes* puntjes;
extern Quad* quad;
extern Rays* rays;
extern Sphere* sphere;
extern Text* text;
extern Vierkant* vierkant;
extern Vlakje* vlakje;
extern Weights* weights;

// Constructs every built-in effect (each registers itself and names its images).
void createAllEffects();
// Destroys every built-in effect; the demo's exit hook.
void deleteAllEffects();
