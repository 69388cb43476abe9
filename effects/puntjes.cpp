#include "puntjes.h"

#include "entry_progress.h"
#include "images.h"

#include <algorithm>
#include <cstdlib>

Puntjes::Puntjes(const char* name)
{
    registerAs(name);
    addTexture("thegimp.png");
    pointCount = width * height;
    positions = new float[3 * pointCount];

    // A fixed seed: the cloud, and the random numbers of every effect
    // constructed after this one, are the same on every run.
    std::srand(66);
    for (int i = 0; i < pointCount; ++i) {
        positions[3 * i] = static_cast<float>(i % width);
        positions[3 * i + 1] = static_cast<float>((pointCount - i) / height);
        float u = static_cast<float>(std::rand()) / static_cast<float>(RAND_MAX);
        positions[3 * i + 2] = static_cast<float>((width + height) / 2) * u;
    }
    offset[0] = static_cast<float>(-(width / 2));
    offset[1] = static_cast<float>(-(height / 2));
    offset[2] = static_cast<float>(-((width + height) / 4));
}

Puntjes::~Puntjes()
{
    delete[] positions;
}

Puntjes::Colours Puntjes::colours() const
{
    const unsigned char* pixels = texturePixels(0);
    const ImageRecord* image = findImageByPixels(pixels);
    if (!image || (image->channels != 3 && image->channels != 4))
        return {nullptr, 0, 0};
    // An RGBA picture still gives 3-byte colours: each one skips the alpha.
    uint64_t available = static_cast<uint64_t>(image->width) * image->height;
    int count = static_cast<int>(std::min<uint64_t>(available, static_cast<uint64_t>(pointCount)));
    return {pixels, count, image->channels};
}

void Puntjes::update(int elapsedMs, float progress)
{
    float t = static_cast<float>(elapsedMs);
    if (progress < 0.8f) {
        if (progress <= 0.3f)
            pointSize = static_cast<float>(progress * 3.3333333) * 15.0f;
        spin = t / 20.0f;
        return;
    }
    // Settling eases from the values of the frame before, so how fast it
    // settles depends on the frame rate.
    float k = (1.0f - progress) * 5.0f;
    float d = (scale - 1.0f) / 5.0f;
    scale = (scale - 1.0f) * k + 1.0f;
    // The whole degrees of spin reached when progress was 0.8, below 360.
    int spinAtSettling = static_cast<int>(t / progress * 0.8 / 20) % 360;
    spin = static_cast<float>(spinAtSettling) * d;
    twist = 45.0f * d;
    pointSize = 15.0f * d + 5.0f;
}

void Puntjes::draw(int elapsedMs, float progress, float)
{
    progress = entryProgress(progress);
    update(elapsedMs, progress);
    glPointSize(pointSize);

    Colours shown = colours();
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, positions);
    glEnableClientState(GL_COLOR_ARRAY);
    glColorPointer(3, GL_UNSIGNED_BYTE, shown.stride, shown.pixels);

    glPushMatrix();
    glRotatef(spin, 1, 0, 0);
    glRotatef(spin, 0, 1, 0);
    glRotatef(twist, 0, 0, 1);
    if (scale != 0)
        glScalef(scale, scale, scale);
    if (progress >= 0.8f)
        glTranslatef(0, 25, -10);
    glTranslatef(offset[0], offset[1], offset[2]);

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
    // Only the points that the picture has a pixel for.
    if (shown.count > 0)
        glDrawArrays(GL_POINTS, 0, shown.count);

    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_BLEND);
    glPopMatrix();
}
