#include "demo.h"

#include "capture.h"
#include "config.h"
#include "images.h"
#include "soundtrack.h"
#include "soundtrack_capture.h"
#include "timeline.h"
#include "warm_up.h"

#include <GL/freeglut.h>
#include <GL/glu.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#ifdef __GLIBC__
#include <malloc.h>
#endif

int windowId = 0;
uint32_t startTime = 0;
uint32_t demoTime = 0;
void (*exitHook)() = nullptr;
Ass* soundtrack = nullptr;
std::vector<std::string> soundtrackCodecs;

static int viewportWidth = 640;
static int viewportHeight = 480;
// In capture mode one idle step belongs to each drawn frame.
static bool framePending = false;
// In capture mode the music goes to a file beside the frames.
static SoundtrackCapture soundtrackCapture;

uint32_t nowMs()
{
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(ms);
}

// Mesa's software renderer takes and frees large vertex buffers for every
// draw; by default glibc hands such memory back to the system at once and
// faults it in afresh on the next draw, which costs more than the drawing.
// Freed memory is kept for reuse instead.
static void keepFreedMemory()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}

void initWindow(int* argc, char** argv, const char* title, void (*hook)())
{
    keepFreedMemory();
    exitHook = hook;
    resetTimelineCursors();
    imageCount = 0;
    glutInit(argc, argv);
    // A depth buffer is requested: several effects switch the depth test on.
    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    if (capture.enabled)
        glutInitWindowSize(640, 480);
    windowId = glutCreateWindow(title);
    glutIdleFunc(onIdle);
    glutReshapeFunc(onReshape);
    glutDisplayFunc(onDisplay);
    glutKeyboardFunc(onKeyboard);
    glClearColor(0, 0, 0, 1);
}

void runDemo()
{
    glutSetCursor(GLUT_CURSOR_NONE);
    if (capture.enabled)
        announceCapture(demoEnd, soundEnabled);
    if (fullscreen)
        glutFullScreen();
    else
        glutReshapeWindow(640, 480);
    // Before music and clock start, so that no frame of the show waits for
    // the renderer to prepare a state.
    warmUpTimeline();
    if (soundEnabled) {
        soundtrack = new Ass;
        for (const std::string& codec : soundtrackCodecs)
            soundtrack->loadCodec(codec.c_str());
        if (capture.enabled)
            soundtrackCapture.begin(*soundtrack, capture.directory);
        soundtrack->open(musicPath);
        soundtrack->play();
    }
    startTime = nowMs();
    glutMainLoop();
}

[[noreturn]] static void endDemo(int status)
{
    glutSetCursor(GLUT_CURSOR_INHERIT);
    glutDestroyWindow(windowId);
    if (imageCount > 0)
        glDeleteTextures(imageCount, textureNames.data());
    if (exitHook)
        exitHook();
    bool withSoundtrack = soundEnabled && soundtrack;
    if (withSoundtrack) {
        // A capture's file holds the music up to the end of its last frame.
        uint32_t capturedMs = static_cast<uint32_t>(uint64_t{capture.frame} * 1000 / capture.fps);
        if (capture.enabled)
            soundtrackCapture.finish(*soundtrack, capturedMs);
        soundtrack->stop();
        delete soundtrack;
        soundtrack = nullptr;
        if (capture.enabled)
            trimSoundtrack(soundtrackFile(capture.directory), capturedMs);
    }
    if (capture.enabled && status == 0)
        reportCapture(withSoundtrack);
    std::fflush(stdout);
    std::exit(status);
}

void quitDemo()
{
    endDemo(0);
}

void onIdle()
{
    if (capture.enabled) {
        if (framePending)
            return;
        demoTime = captureTime();
    } else {
        demoTime = nowMs() - startTime;
    }
    if (soundEnabled && soundtrack) {
        if (capture.enabled)
            soundtrackCapture.poll(*soundtrack);
        else
            soundtrack->poll();
    }
    if (demoTime > demoEnd)
        quitDemo();
    advanceTimeline(demoTime);
    framePending = true;
    glutPostRedisplay();
}

void onDisplay()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    drawTimeline(demoTime);
    if (capture.enabled && framePending && !captureFrame(viewportWidth, viewportHeight))
        endDemo(1);
    framePending = false;
    glutSwapBuffers();
}

void onReshape(int width, int height)
{
    if (height == 0)
        height = 1;
    viewportWidth = width;
    viewportHeight = height;
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    float aspect = static_cast<float>(width) / static_cast<float>(height);
    gluPerspective(45.0, static_cast<double>(aspect), 1.0, 400.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0, 0, -200);
}

void onKeyboard(unsigned char key, int, int)
{
    if (key == 27)
        quitDemo();
}
