#include "envelope.h"

#include <algorithm>
#include <cmath>

namespace {

double heldLevel(const Adsr& e, double t)
{
    double attack = std::max(e.attack, kMinimumEdge);
    if (t <= 0.0)
        return 0.0;
    if (t < attack)
        return t / attack;
    if (e.decay <= 0.0)
        return e.sustain;
    return e.sustain + (1.0 - e.sustain) * std::exp(-(t - attack) / e.decay);
}

} // namespace

double adsrLevel(const Adsr& e, double t, double gate)
{
    gate = std::max(gate, 0.0);
    if (t < gate)
        return heldLevel(e, t);
    double release = std::max(e.release, kMinimumEdge);
    double u = (t - gate) / release;
    if (u >= 1.0)
        return 0.0;
    double rest = 1.0 - u;
    return heldLevel(e, gate) * rest * rest;
}

double adsrLength(const Adsr& e, double gate)
{
    return std::max(gate, 0.0) + std::max(e.release, kMinimumEdge);
}
