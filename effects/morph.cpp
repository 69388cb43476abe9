#include "morph.h"

#include "entry_progress.h"

#include "geometry.h"
#include "sprite_footprint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <numbers>

namespace {

constexpr double pi = std::numbers::pi;

template <typename T>
T* allocate(int count)
{
    return new (std::nothrow) T[count];
}

void copyMesh(float* to, const float* from)
{
    std::copy(from, from + 3 * Morph::vertexCount, to);
}

void blendMeshes(float* to, const float* first, const float* second, float w)
{
    for (int c = 0; c < 3 * Morph::vertexCount; ++c)
        to[c] = first[c] + (second[c] - first[c]) * w;
}

void setTriangles(uint32_t* indices, int quad, uint32_t a, uint32_t b, uint32_t c, uint32_t d, uint32_t e, uint32_t f)
{
    uint32_t* t = indices + 6 * quad;
    t[0] = a, t[1] = b, t[2] = c, t[3] = d, t[4] = e, t[5] = f;
}

// The built form of quad (row i, column j): it uses row i + 1 and column j + 1.
void setOpenQuad(uint32_t* indices, int i, int j)
{
    uint32_t v = j + 33 * i;
    setTriangles(indices, j + 32 * i, v, v + 1, v + 33, v + 1, v + 34, v + 33);
}

} // namespace

Morph::Morph(const char* name)
{
    registerAs(name);
    addTexture("star1.png");
    phase = -1;
    planeMesh = allocate<float>(3 * vertexCount);
    tubeMesh = allocate<float>(3 * vertexCount);
    torusMesh = allocate<float>(3 * vertexCount);
    wideTorusMesh = allocate<float>(3 * vertexCount);
    vertices = allocate<float>(3 * vertexCount);
    normals = allocate<float>(3 * triangleCount);
    indices = allocate<uint32_t>(indexCount);
    spriteSpin = allocate<float>(vertexCount);
    spritePhase = allocate<float>(vertexCount);
    spriteCorners = allocate<float>(4 * 3 * vertexCount);
    spriteTexCoords = allocate<float>(4 * 2 * vertexCount);
    if (!ready())
        return;

    for (int k = 0; k < vertexCount; ++k) {
        float u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
        spriteSpin[k] = 90 * u;
        u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
        spritePhase[k] = static_cast<float>(90 * u * 2 * pi);
    }
    buildShapes();
    buildIndices();
    // Whatever phase is drawn first, the normal array holds real normals: the
    // torus phases keep the normals they find.
    copyMesh(vertices, planeMesh);
    faceNormals(triangleCount, vertices, indices, normals);
}

Morph::~Morph()
{
    delete[] planeMesh;
    delete[] tubeMesh;
    delete[] torusMesh;
    delete[] wideTorusMesh;
    delete[] vertices;
    delete[] normals;
    delete[] indices;
    delete[] spriteSpin;
    delete[] spritePhase;
    delete[] spriteCorners;
    delete[] spriteTexCoords;
}

void Morph::keepMesh()
{
    kept.phase = phase;
    if (!ready())
        return;
    kept.vertices.assign(vertices, vertices + 3 * vertexCount);
    kept.normals.assign(normals, normals + 3 * triangleCount);
    kept.indices.assign(indices, indices + indexCount);
}

void Morph::restoreMesh()
{
    phase = kept.phase;
    if (!ready())
        return;
    std::copy(kept.vertices.begin(), kept.vertices.end(), vertices);
    std::copy(kept.normals.begin(), kept.normals.end(), normals);
    std::copy(kept.indices.begin(), kept.indices.end(), indices);
}

bool Morph::ready() const
{
    return planeMesh && tubeMesh && torusMesh && wideTorusMesh && vertices && normals && indices && spriteSpin &&
           spritePhase && spriteCorners && spriteTexCoords;
}

void Morph::buildShapes()
{
    const double s = cell;
    const double wideOffset = 1.015f; // single precision, as the shape was always built
    for (int k = 0; k < vertexCount; ++k) {
        int i = k / side, j = k % side;
        double theta = j * 2 * pi / 32, phi = i * 2 * pi / 32;
        auto set = [k](float* mesh, double x, double y, double z) {
            mesh[3 * k] = static_cast<float>(x);
            mesh[3 * k + 1] = static_cast<float>(y);
            mesh[3 * k + 2] = static_cast<float>(z);
        };
        set(planeMesh, (j - 16) * s, -s, (i - 16) * s);
        set(tubeMesh, -std::sin(theta) * s, std::cos(theta) * s, (i - 16) * s);
        set(torusMesh, std::cos(phi) * (std::sin(theta) + 2) * s, std::cos(theta) * s,
            -std::sin(phi) * (std::sin(theta) + 2) * s);
        set(wideTorusMesh, 1.5 * std::cos(phi) * (std::sin(theta) + wideOffset) * s, std::cos(theta) * s,
            -1.5 * std::sin(phi) * (std::sin(theta) + wideOffset) * s);
    }
}

void Morph::buildIndices()
{
    for (int i = 0; i < 32; ++i)
        for (int j = 0; j < 32; ++j)
            setOpenQuad(indices, i, j);
}

void Morph::patchRows(Seam seam)
{
    for (int j = 0; j < 32; ++j) {
        if (seam == Seam::open) {
            setOpenQuad(indices, 31, j);
        } else {
            uint32_t v = 1023 + j;
            setTriangles(indices, j + 32 * 31, v, v + 1, j, v + 1, j + 1, j);
        }
    }
}

void Morph::patchColumns(Seam seam)
{
    for (int i = 0; i < 32; ++i) {
        if (seam == Seam::open) {
            setOpenQuad(indices, i, 31);
        } else {
            uint32_t a = 33 * i;
            setTriangles(indices, 31 + 32 * i, a + 31, a, a + 64, a, a + 33, a + 64);
        }
    }
}

int Morph::phaseOf(float progress)
{
    for (int n = 0; n < 7; ++n)
        if (progress < static_cast<float>(n + 1) / 8)
            return n;
    return 7;
}

float Morph::spinAngle(float progress)
{
    if (!(progress >= 0.5f && progress < 0.875f))
        return 0;
    float s = (progress - 0.5f) * 8 / 3;
    return static_cast<float>((std::sin(s * pi - pi / 2) + 1) / 2 * 360);
}

void Morph::shapeAndPlace(int n, float p, float w, float angle)
{
    bool entering = phase != n;
    switch (n) {
    case 0:
        if (entering) {
            copyMesh(vertices, planeMesh);
            patchRows(Seam::open);
            patchColumns(Seam::open);
            faceNormals(triangleCount, vertices, indices, normals);
        }
        glTranslatef(0, 10, static_cast<float>(250 - 500 * std::sin(p * pi / 2)));
        break;
    case 1:
        blendMeshes(vertices, planeMesh, tubeMesh, w);
        if (entering) {
            patchRows(Seam::open);
            patchColumns(Seam::open);
        }
        faceNormals(triangleCount, vertices, indices, normals);
        glTranslatef(0, 10, 125 * p - 250);
        break;
    case 2:
        if (entering) {
            copyMesh(vertices, tubeMesh);
            patchRows(Seam::open);
            patchColumns(Seam::wrapped);
            faceNormals(triangleCount, vertices, indices, normals);
        }
        glTranslatef(0, 10, -125 * (1 - p));
        break;
    case 3:
        blendMeshes(vertices, tubeMesh, torusMesh, w);
        if (entering) {
            patchRows(Seam::open);
            patchColumns(Seam::wrapped);
        }
        faceNormals(triangleCount, vertices, indices, normals);
        glTranslatef(31.25f * p, 10, 0);
        break;
    // From here on the normals of the last tube-to-torus frame are kept.
    case 4:
        if (entering) {
            copyMesh(vertices, torusMesh);
            patchRows(Seam::wrapped);
            patchColumns(Seam::wrapped);
        }
        glTranslatef(31.25f, 10, 0);
        glRotatef(angle, 0, 1, 0);
        break;
    case 5: {
        blendMeshes(vertices, torusMesh, wideTorusMesh, w);
        if (entering) {
            patchRows(Seam::wrapped);
            patchColumns(Seam::wrapped);
        }
        float m = 1 - p * w;
        glTranslatef(31.25f * m, 5 * m + 5, -15.625f * p * w);
        glRotatef(angle, 0, 1, 0);
        break;
    }
    case 6:
    case 7:
        if (entering) {
            copyMesh(vertices, wideTorusMesh);
            // The sprite phase keeps the seams the phase before left.
            if (n == 6) {
                patchRows(Seam::wrapped);
                patchColumns(Seam::wrapped);
            }
        }
        glTranslatef(0, 5, -15.625f);
        glRotatef(angle, 0, 1, 0);
        break;
    }
    phase = n;
}

static float surfaceAlpha(int n, float p)
{
    switch (n) {
    case 3: return 0.5f + 0.5f * p;
    case 4: return 1;
    case 5: return 1 - p;
    case 6:
    case 7: return 0;
    default: return 0.5f;
    }
}

void Morph::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    if (!ready())
        return;
    static const GLfloat ambient[] = {0.2f, 0.2f, 0.2f, 1};
    static const GLfloat diffuse[] = {0.5f, 0.5f, 0.5f, 1};
    static const GLfloat position[] = {10, 100, 0, 1};
    // Set before any matrix change: the light stays put under the engine's camera.
    glLightfv(GL_LIGHT0, GL_AMBIENT, ambient);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, diffuse);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    glEnable(GL_COLOR_MATERIAL);

    glPushMatrix();
    glLoadIdentity(); // the mesh is placed in eye coordinates
    float angle = spinAngle(progress);
    int n = phaseOf(progress);
    float p = (progress - static_cast<float>(n) / 8) * 8;
    float w = static_cast<float>(std::cos(p * pi + pi) / 2 + 0.5);
    shapeAndPlace(n, p, w, angle);

    glColor4f(0.6f, 0.6f, 1, surfaceAlpha(n, p));
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, vertices);
    glNormalPointer(GL_FLOAT, 0, normals);
    glDrawElements(GL_TRIANGLES, indexCount, GL_UNSIGNED_INT, indices);

    glDisable(GL_LIGHTING);
    if (n < 7) {
        if (n == 6)
            glColor4f(0.6f - 0.6f * p, 1 - p, 0.6f - 0.6f * p, 0.3f - 0.3f * p);
        else
            glColor4f(0.6f, 1, 0.6f, 0.3f);
        // The triangle list read pairwise: 3072 segments.
        glDrawElements(GL_LINES, indexCount, GL_UNSIGNED_INT, indices);
    }
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);

    if (n >= 5)
        drawSprites(n, elapsedMs, p, angle);

    glDisable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ZERO);
    glPopMatrix();
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    glDisable(GL_COLOR_MATERIAL);
}

// A star at every vertex, its texture turning and its size swinging through
// zero (a negative size draws it mirrored). The stars are placed here and
// drawn as one array: a matrix change for each would cost more than the
// drawing.
void Morph::drawSprites(int n, int elapsedMs, float p, float angle)
{
    float t = static_cast<float>(elapsedMs);
    glEnable(GL_TEXTURE_2D);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glBindTexture(textureTarget(0), textureId(0));
    glColor4f(1, 1, 1, n == 5 ? p : n == 6 ? 1 : 1 - p);
    // The sprites blend additively: where the star's texels are clear they
    // add nothing, and each quad is cut down to the circle the star lights.
    // The quad spans texture coordinates -0.2 to 1.2: 0.7 either side.
    if (texturePixels(0) != footprintImage) {
        footprintImage = texturePixels(0);
        footprintRadius = transparentBeyond(footprintImage);
    }
    double cut = footprintRadius > 0 && clearTexelsAddNothing(textureTarget(0)) ? std::min(1.0, footprintRadius / 0.7)
                                                                                : 1;
    // The corners' texture coordinates and offsets from the star's centre.
    const double texCorners[4][2] = {
        {0.5 - 0.7 * cut, 0.5 - 0.7 * cut},
        {0.5 + 0.7 * cut, 0.5 - 0.7 * cut},
        {0.5 + 0.7 * cut, 0.5 + 0.7 * cut},
        {0.5 - 0.7 * cut, 0.5 + 0.7 * cut},
    };
    const double corners[4][2] = {{-cut, cut}, {cut, cut}, {cut, -cut}, {-cut, -cut}};
    for (int i = 0; i < vertexCount; ++i) {
        float h = static_cast<float>(std::sin(t / 300 + spritePhase[i]));
        // The texture turns about its centre.
        Affine spin =
            Affine{}.translated(0.5, 0.5, 0).rotated(t / 50 + spriteSpin[i], 0, 0, 1).translated(-0.5, -0.5, 0);
        // The stars face the viewer whatever the mesh's spin.
        Affine place = Affine{}.translated(vertices[3 * i], vertices[3 * i + 1], vertices[3 * i + 2]);
        if (n != 7)
            place = place.rotated(-angle, 0, 1, 0);
        for (int c = 0; c < 4; ++c) {
            float turned[3];
            spin.apply(texCorners[c][0], texCorners[c][1], 0, turned);
            spriteTexCoords[8 * i + 2 * c] = turned[0];
            spriteTexCoords[8 * i + 2 * c + 1] = turned[1];
            place.apply(corners[c][0] * h, corners[c][1] * h, 0, spriteCorners + 12 * i + 3 * c);
        }
    }
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, spriteCorners);
    glTexCoordPointer(2, GL_FLOAT, 0, spriteTexCoords);
    glDrawArrays(GL_QUADS, 0, 4 * vertexCount);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_TEXTURE_2D);
}
