// The built-in effects, one global object each, constructed in registry order.
#pragma once

class Bobel;
class Bubble;

extern Bobel* bobel;
extern Bubble* bubble;

// Constructs every built-in effect (each registers itself and names its images).
void createAllEffects();
// Destroys every built-in effect; the demo's exit hook.
void deleteAllEffects();
