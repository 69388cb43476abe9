#include "draaiding.h"

#include "entry_progress.h"

#include "geometry.h"

#include <cmath>
#include <numbers>

namespace {

constexpr float pi = std::numbers::pi_v<float>;
// 3 pi / 4 as the single-precision constant the horseshoe's ends were placed with.
constexpr float threeQuarterPi = 2.3561945f;

void setVertex(TexturedMesh& mesh, int index, float x, float y, float z, float s, float t)
{
    mesh.vertices[3 * index] = x;
    mesh.vertices[3 * index + 1] = y;
    mesh.vertices[3 * index + 2] = z;
    mesh.texCoords[2 * index] = s;
    mesh.texCoords[2 * index + 1] = t;
}

void copyPosition(TexturedMesh& mesh, int to, int from)
{
    for (int c = 0; c < 3; ++c)
        mesh.vertices[3 * to + c] = mesh.vertices[3 * from + c];
}

void allocate(TexturedMesh& mesh, int ringCount, int sides, int quadRings)
{
    int vertexCount = ringCount * (sides + 1);
    int triangleCount = 2 * quadRings * sides;
    mesh.vertices.assign(3 * vertexCount, 0);
    mesh.texCoords.assign(2 * vertexCount, 0);
    mesh.indices.assign(3 * triangleCount, 0);
    mesh.normals.assign(3 * triangleCount, 0);
}

// The two triangles of quad (ring, side), joining it to the next ring.
void addQuad(TexturedMesh& mesh, int ring, int side, int sides)
{
    uint32_t v = side + ring * (sides + 1);
    uint32_t u = side + (ring + 1) * (sides + 1);
    uint32_t* t = &mesh.indices[6 * (ring * sides + side)];
    t[0] = v, t[1] = v + 1, t[2] = u;
    t[3] = v + 1, t[4] = u + 1, t[5] = u;
}

// Triangles that touch a pointed end have two equal corners and no normal of
// their own; they take the normal of the other triangle of their quad, so no
// vertex is ever lit with a not-a-number normal.
void mendDegenerateNormals(TexturedMesh& mesh)
{
    float* n = mesh.normals.data();
    int count = mesh.triangleCount();
    auto finite = [n](int t) {
        return std::isfinite(n[3 * t]) && std::isfinite(n[3 * t + 1]) && std::isfinite(n[3 * t + 2]);
    };
    for (int t = 0; t < count; ++t) {
        if (finite(t))
            continue;
        int partner = t ^ 1;
        bool usable = partner < count && finite(partner);
        for (int c = 0; c < 3; ++c)
            n[3 * t + c] = usable ? n[3 * partner + c] : (c == 2 ? 1.0f : 0.0f);
    }
}

void computeNormals(TexturedMesh& mesh)
{
    faceNormals(mesh.triangleCount(), mesh.vertices.data(), mesh.indices.data(), mesh.normals.data());
    mendDegenerateNormals(mesh);
}

} // namespace

TexturedMesh buildTorus(float a, float b, int rings, int sides)
{
    TexturedMesh mesh;
    allocate(mesh, rings + 1, sides, rings);
    const float ringStep = 2 * pi / static_cast<float>(rings);
    const float sideStep = 2 * pi / static_cast<float>(sides);
    const float r = static_cast<float>(rings), s = static_cast<float>(sides);
    float theta = 0;
    for (int i = 0; i < rings; ++i) {
        float phi = 0;
        for (int j = 0; j < sides; ++j) {
            float w = b + a * std::cos(phi);
            setVertex(mesh, j + i * (sides + 1), std::cos(theta) * w, -std::sin(theta) * w, a * std::sin(phi),
                      static_cast<float>(i) / r, static_cast<float>(j) / s);
            addQuad(mesh, i, j, sides);
            phi += sideStep;
        }
        int seam = sides + i * (sides + 1);
        copyPosition(mesh, seam, i * (sides + 1));
        mesh.texCoords[2 * seam] = static_cast<float>(i) / r;
        mesh.texCoords[2 * seam + 1] = 1;
        theta += ringStep;
    }
    // The closing ring, at 2 pi in single precision.
    theta = 2 * pi;
    float phi = 0;
    for (int j = 0; j <= sides; ++j) {
        float w = b + a * std::cos(phi);
        setVertex(mesh, j + rings * (sides + 1), std::cos(theta) * w, -std::sin(theta) * w, a * std::sin(phi), 1,
                  static_cast<float>(j) / s);
        phi += sideStep;
    }
    computeNormals(mesh);
    return mesh;
}

TexturedMesh buildHorseshoe(float a, float b, int rings, int sides)
{
    TexturedMesh mesh;
    allocate(mesh, rings + 3, sides, rings + 2);
    const float f = 4 * a;
    const float l = std::sqrt(f * f + b * b);
    const float o = std::asin(f / l);
    const float sideStep = pi / static_cast<float>(sides); // half a circle
    const float r = static_cast<float>(rings), s = static_cast<float>(sides);
    float sweep = -pi / 4 - o;
    for (int i = 0; i <= rings + 1; ++i) {
        float phi = 0;
        for (int j = 0; j < sides; ++j) {
            float w = a * std::cos(phi) + b;
            setVertex(mesh, j + i * (sides + 1), std::cos(sweep) * w, -std::sin(sweep) * w, std::sin(phi) * a,
                      static_cast<float>(i) / r, static_cast<float>(j) / s);
            addQuad(mesh, i, j, sides);
            phi += sideStep;
        }
        int seam = sides + i * (sides + 1);
        copyPosition(mesh, seam, i * (sides + 1));
        mesh.texCoords[2 * seam] = static_cast<float>(i) / r;
        mesh.texCoords[2 * seam + 1] = 1;
        sweep += (o + pi) / r;
    }
    // Both ends close into points.
    const float startAngle = threeQuarterPi - o - pi;
    const float endAngle = o + threeQuarterPi;
    const int lastRing = rings + 2;
    for (int j = 0; j <= sides; ++j) {
        float t = static_cast<float>(j) / s;
        setVertex(mesh, j, l * std::cos(startAngle), -l * std::sin(startAngle), 0, 0, t);
        setVertex(mesh, j + lastRing * (sides + 1), l * std::cos(endAngle), -l * std::sin(endAngle), 0, 1, t);
    }
    computeNormals(mesh);
    return mesh;
}

void TexturedMesh::draw() const
{
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 0, texCoords.data());
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices.data());
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, 0, normals.data());
    glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(indices.size()), GL_UNSIGNED_INT, indices.data());
}

Draaiding::Draaiding(const char* name)
{
    registerAs(name);
    addTexture("bobel1.png");
    quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricTexture(quadric, GL_TRUE);
    gluQuadricNormals(quadric, GLU_SMOOTH);
    gluQuadricOrientation(quadric, GLU_OUTSIDE);
    outerTorus = buildTorus(8, 48, 64, 36);
    innerTorus = buildTorus(8, 28, 64, 36);
    horseshoe = buildHorseshoe(8, 68, 32, 32);
}

Draaiding::~Draaiding()
{
    gluDeleteQuadric(quadric);
}

void Draaiding::centre(float progress, float& x, float& y)
{
    x = (1 - progress) * 280 - 140;
    y = 190 * progress - 95;
}

void Draaiding::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    float t = static_cast<float>(elapsedMs);
    float x, y;
    centre(progress, x, y);
    glPushMatrix();
    glTranslatef(x, y, 0);
    glRotatef(t / 100, 0.5f, 0.2134f, 0.8723f);

    // The light is placed in the moving frame, so it turns with the object.
    glEnable(GL_LIGHTING);
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpecular);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glEnable(GL_LIGHT0);
    glEnable(GL_CULL_FACE);
    glEnable(GL_DEPTH_TEST);

    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureId(0));
    glColor3f(1, 1, 1);

    glPushMatrix();
    glPushMatrix();
    glRotatef(90, 0, 1, 0);
    ball.draw([this] { gluSphere(quadric, 16, 32, 32); });
    glPopMatrix();
    glRotatef(t / 11, 1, 1, 0);
    outerTorus.draw();
    glRotatef(t / 9, 1, -1, 0); // the inner torus turns inside the outer one's frame
    innerTorus.draw();
    glPopMatrix();

    horseshoe.draw();
    drawBeams();
    glPopMatrix();

    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHT0);
    glDisable(GL_COLOR_MATERIAL);
    glDisable(GL_LIGHTING);
}

// Five open cones fanned at -45 to 135 degrees, brightest in the middle; their
// alpha comes from the current colour (colour material is off).
void Draaiding::drawBeams()
{
    struct Beam {
        GLfloat alpha, base, top;
    };
    static constexpr Beam beams[5] = {
        {0.2f, 0.8f, 2.4f}, {0.4f, 1.6f, 3.2f}, {0.6f, 2.4f, 4.0f}, {0.4f, 1.6f, 3.2f}, {0.2f, 0.8f, 2.4f},
    };
    glPushMatrix();
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glRotatef(90, 1, 0, 0);
    for (int i = 0; i < 5; ++i) {
        glColor4f(1, 1, 1, beams[i].alpha);
        glRotatef(i == 0 ? -45.0f : 45.0f, 0, 1, 0);
        beamCones[i].draw([this, i] { gluCylinder(quadric, beams[i].base, beams[i].top, 72, 32, 6); });
    }
    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glPopMatrix();
}
