// Draaiding: a lit, textured gyroscope: a ball inside two tori spinning on
// crossed axes, a horseshoe-shaped half tube around them and a fan of five
// translucent beams, travelling diagonally across the screen.
#pragma once

#include "effect.h"
#include "recorded_list.h"

#include <GL/glu.h>

#include <cstdint>
#include <vector>

// A triangle mesh drawn from client arrays. The normal array holds one normal
// per triangle and is read by vertex number, as the demo has always lit it.
struct TexturedMesh {
    std::vector<float> vertices;   // 3 floats per vertex
    std::vector<float> texCoords;  // 2 floats per vertex
    std::vector<uint32_t> indices; // 3 per triangle
    std::vector<float> normals;    // 3 floats per triangle

    int vertexCount() const { return static_cast<int>(vertices.size() / 3); }
    int triangleCount() const { return static_cast<int>(indices.size() / 3); }
    void draw() const;
};

// A torus about the z axis: tube radius a, centre-line radius b, rings x sides
// quads; ring `rings` closes onto ring 0.
TexturedMesh buildTorus(float a, float b, int rings, int sides);
// A half tube (upper half of the cross-section) swept about 230 degrees round
// the z axis, both ends drawn together into points.
TexturedMesh buildHorseshoe(float a, float b, int rings, int sides);

class Draaiding : public Effect {
public:
    explicit Draaiding(const char* name);
    ~Draaiding() override;
    void draw(int elapsedMs, float progress, float value) override;

    // Centre of the object at a given progress (it travels lower right to upper left).
    static void centre(float progress, float& x, float& y);

    TexturedMesh outerTorus;
    TexturedMesh innerTorus;
    TexturedMesh horseshoe;

private:
    void drawBeams();

    GLUquadric* quadric;
    // The ball's and the beams' vertices are fixed: sent once, called per draw.
    RecordedList ball, beamCones[5];
    GLfloat lightAmbient[4] = {0.2f, 0.2f, 0.2f, 1};
    GLfloat lightDiffuse[4] = {0.5f, 0.5f, 0.5f, 1};
    GLfloat lightSpecular[4] = {1, 1, 1, 1};
    GLfloat lightPosition[4] = {-200, 200, 200, 1};
};
