// Frames per second of each effect drawn alone in a 640 x 480 window, with
// generated pictures standing in for the demo's images. A figure, never a
// pass or fail: run it under the renderer that you want to measure, e.g.
//   LIBGL_ALWAYS_SOFTWARE=1 xvfb-run -a -s "-screen 0 1024x768x24" build/bench/effect_fps [seconds]
#include "all_effects.h"
#include "demo.h"
#include "effect.h"
#include "images.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const char* const imageNames[] = {
    "asci.png",     "bedankt.png",  "beer.png",      "bobel1.png",   "bobel2.png",   "bubble2.png",
    "cone1.png",    "down.png",     "fdplane1.png",  "fdplane2.png", "OrB-jordan.png", "owns.png",
    "preshere.png", "star1.png",    "stoporb.png",   "thegimp.png",  "tibet.png",    "tx_greets.png",
    "tx_grp01.png", "tx_grp02.png", "tx_grp03.png",  "tx_grp04.png", "tx_grp05.png", "tx_grp06.png",
    "tx_grp07.png", "tx_grp08.png", "tx_grp09.png",  "tx_grp10.png", "up.png",       "vlakje.png",
    "world.png",    "yourorb.png"};

// A checkered RGB picture per image (thegimp.png at its own 51 x 43),
// uploaded straight into the image table.
void makeImages()
{
    imageCount = static_cast<int>(std::size(imageNames));
    textureNames.assign(imageCount, 0);
    glGenTextures(imageCount, textureNames.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int i = 0; i < imageCount; ++i) {
        ImageRecord& record = images[i];
        record.name = imageNames[i];
        record.target = GL_TEXTURE_2D;
        bool gimp = record.name == "thegimp.png";
        record.width = gimp ? 51 : 256;
        record.height = gimp ? 43 : 256;
        record.channels = 3;
        auto* pixels = new unsigned char[record.width * record.height * 3];
        for (uint32_t p = 0; p < record.width * record.height; ++p) {
            bool light = ((p % record.width) / 16 + (p / record.width) / 16) % 2;
            pixels[3 * p] = static_cast<unsigned char>(light ? 230 : 40 + 6 * i);
            pixels[3 * p + 1] = static_cast<unsigned char>(light ? 200 : 20);
            pixels[3 * p + 2] = static_cast<unsigned char>(light ? 60 : 150);
        }
        record.pixels = pixels;
        glBindTexture(GL_TEXTURE_2D, textureNames[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, 3, record.width, record.height, 0, GL_RGB, GL_UNSIGNED_BYTE, pixels);
    }
}

// The parameter value that shows each effect at its busiest.
float valueFor(const std::string& name)
{
    if (name == "quad")
        return 2.5f;
    if (name == "sphere")
        return 1.0f;
    if (name == "text")
        return 1002003.0f;
    return 0.0f;
}

}  // namespace

int main(int argc, char** argv)
{
    double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutCreateWindow("effect fps");
    onReshape(640, 480);
    createAllEffects();
    makeImages();
    for (int i = 0; i < effectRegistry.count; ++i)
        effectRegistry.effects[i]->resolveTextures();

    // Each effect runs through a 20-second entry, its clock stepped by the
    // measured frame time so that the whole entry is covered.
    std::printf("renderer: %s (%s)\n", glGetString(GL_RENDERER), glGetString(GL_VERSION));
    std::printf("%-10s %8s %8s\n", "effect", "frames", "fps");
    using Clock = std::chrono::steady_clock;
    for (int i = 0; i < effectRegistry.count; ++i) {
        Effect* effect = effectRegistry.effects[i];
        std::string name = effectRegistry.names[i];
        const int entryMs = 20000;
        int frames = 0;
        auto start = Clock::now();
        double elapsed = 0;
        while (elapsed < seconds) {
            int t = static_cast<int>(entryMs * (elapsed / seconds));
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            onReshape(640, 480);
            effect->draw(t, static_cast<float>(t) / entryMs, valueFor(name));
            glutSwapBuffers();
            glFinish();
            ++frames;
            elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        }
        std::printf("%-10s %8d %8.1f\n", name.c_str(), frames, frames / elapsed);
    }
    deleteAllEffects();
    return 0;
}
