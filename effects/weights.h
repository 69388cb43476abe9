// Weights: a textured dumbbell flying a fixed path of seven legs, followed by
// a trail of fifteen copies that vanish one by one near the end.
#pragma once

#include "effect.h"
#include "recorded_list.h"

#include <GL/glu.h>

class Weights : public Effect {
public:
    static constexpr int copyCount = 16; // the leader and its trail
    static constexpr float copySpacing = 0.005f;
    // A copy whose place on the path is this far or further is gone.
    static constexpr float pathEnd = 0.92f;

    // Where the path puts a dumbbell at path progress g, and on which leg (1
    // to 7, or 0 past the end, where nothing is drawn).
    struct Pose {
        int leg;
        float pos[3];
        float rollZ;
        float yaw;
        float pitch;
    };
    static Pose poseAt(float g);

    explicit Weights(const char* name);
    ~Weights() override;
    void draw(int elapsedMs, float progress, float value) override;

    GLUquadric* quadric;
    float pos[3] = {};
    float rollZ = 0;
    float yaw = 0;
    float pitch = 0;

private:
    void drawDumbbell();
    RecordedList bar;
    RecordedList ball;
};
