// Frames per second of each effect drawn alone at 640 x 480, under whatever
// OpenGL the display offers (Mesa's software renderer under Xvfb). A figure,
// never a pass or fail.
//
//   effect_fps [--frames N] [name[:value] ...]
//
// Without names it measures every registered effect with value 0, plus the
// second looks of Cone (value 2) and Disks (value 1). Each run spreads its
// frames over a 10-second timeline entry.
#include "all_effects.h"
#include "capture.h"
#include "demo.h"
#include "effect.h"
#include "images.h"

#include <GL/freeglut.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Run {
    std::string name;
    float value;
};

const char* const imageFiles[] = {"bobel1.png", "bobel2.png", "bubble2.png", "cone1.png",
                                  "owns.png",   "OrB-jordan.png", "star1.png"};

// Checkered 64 x 64 images stand in for the demo's pictures: the cost of
// texturing does not depend on what the texels show.
bool loadStandInImages()
{
    std::filesystem::path dir = std::filesystem::temp_directory_path() / ("effect_fps." + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    std::vector<unsigned char> rgb(64 * 64 * 3);
    for (int i = 0; i < 64 * 64; ++i) {
        bool light = ((i % 64) / 8 + (i / 64) / 8) % 2 == 0;
        rgb[3 * i] = light ? 240 : 40;
        rgb[3 * i + 1] = light ? 200 : 80;
        rgb[3 * i + 2] = light ? 160 : 120;
    }
    for (const char* file : imageFiles) {
        if (!writeRgbPng((dir / file).c_str(), rgb.data(), 64, 64))
            return false;
        ImageRecord& record = images[imageCount++];
        record.name = file;
        record.target = GL_TEXTURE_2D;
        record.texParameters[0] = {GL_TEXTURE_MIN_FILTER, GL_LINEAR};
        record.texParameterCount = 1;
    }
    std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    loadTextures();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
    for (int i = 0; i < effectRegistry.count; ++i)
        effectRegistry.effects[i]->resolveTextures();
    return true;
}

double framesPerSecond(Effect* effect, float value, int frames)
{
    const int entryMs = 10000;
    glFinish();
    auto start = std::chrono::steady_clock::now();
    for (int f = 0; f < frames; ++f) {
        int elapsed = f * entryMs / frames;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        effect->draw(elapsed, static_cast<float>(elapsed) / entryMs, value);
        glutSwapBuffers();
        glFinish();
    }
    std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    return frames / seconds.count();
}

}  // namespace

int main(int argc, char** argv)
{
    glutInit(&argc, argv);
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 480);
    glutCreateWindow("effect_fps");
    onReshape(640, 480);

    int frames = 100;
    std::vector<Run> runs;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            frames = std::max(1, std::atoi(argv[++i]));
            continue;
        }
        size_t colon = arg.find(':');
        runs.push_back({arg.substr(0, colon), colon == std::string::npos ? 0.0f : std::stof(arg.substr(colon + 1))});
    }

    createAllEffects();
    if (!loadStandInImages()) {
        std::fprintf(stderr, "effect_fps: cannot write the stand-in images\n");
        return 1;
    }
    if (runs.empty()) {
        for (int i = 0; i < effectRegistry.count; ++i)
            runs.push_back({effectRegistry.names[i], 0});
        runs.push_back({"cone", 2});
        runs.push_back({"disks", 1});
    }

    std::printf("%s\n%-12s %6s %10s %10s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)), "effect",
                "value", "fps", "ms/frame");
    for (const Run& run : runs) {
        Effect* effect = findEffect(run.name.c_str());
        if (!effect) {
            std::printf("%-12s no such effect\n", run.name.c_str());
            continue;
        }
        double fps = framesPerSecond(effect, run.value, frames);
        std::printf("%-12s %6.1f %10.1f %10.2f\n", run.name.c_str(), run.value, fps, 1000 / fps);
        std::fflush(stdout);
    }
    deleteAllEffects();
    return 0;
}
