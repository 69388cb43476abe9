// Puntjes: a 51 x 43 picture as a spinning cloud of large coloured points, one
// per pixel at a random depth, growing in and finally settling.
#pragma once

#include "effect.h"
#include "warm_up.h"

class Puntjes : public Effect {
public:
    explicit Puntjes(const char* name);
    ~Puntjes() override;
    void draw(int elapsedMs, float progress, float value) override;

    // How many points the slot's image can colour, and how many bytes apart
    // their colours lie: never more points than the image has pixels.
    struct Colours {
        const unsigned char* pixels;
        int count;
        int stride;
    };
    Colours colours() const;

    int width = 51;
    int height = 43;
    float* positions;
    float scale = 5.0f;
    float spin = 0;
    float twist = 45.0f;
    int pointCount;
    float pointSize = 15.0f;
    float offset[3];

private:
    void update(int elapsedMs, float progress);

    // Settling eases from the frame before, so drawing out of the show's
    // order must leave the motion where it was.
    struct Motion {
        float scale, spin, twist, pointSize;
    } keptMotion{};
    StateKeeper motionKeeper{[this] {
                                 keptMotion = {scale, spin, twist, pointSize};
                             },
                             [this] {
                                 scale = keptMotion.scale;
                                 spin = keptMotion.spin;
                                 twist = keptMotion.twist;
                                 pointSize = keptMotion.pointSize;
                             }};
};
