// The demo's 32 images, each painted by a function of its own. Textures have
// power-of-two sizes; "thegimp.png" is a 51 x 43 RGB colour array.
#pragma once

#include "image_canvas.h"

#include <functional>
#include <string>
#include <vector>

struct DemoImage {
    std::string file;
    bool alpha; // written as RGBA, else as RGB
    std::function<Canvas()> paint;
};

// All images in the order of their file names.
std::vector<DemoImage> demoImages();

// Labels and emblems (labels.cpp).
Canvas paintGroupLabel(int group); // 1 to 10
Canvas paintGreetingsLabel();
Canvas paintJordanEmblem();
Canvas paintSheetFace(bool up);

// Full-screen pictures (title_pictures.cpp, scene_pictures.cpp).
Canvas paintPresentsHere();
Canvas paintOwns();
Canvas paintStopOrb();
Canvas paintThanks();
Canvas paintAsciiArt();
Canvas paintBeer();
Canvas paintTibet();
Canvas paintWorld();
Canvas paintYourOrb();

// Surface textures and sprites (surfaces.cpp).
Canvas paintOuterBall();
Canvas paintInnerBall();
Canvas paintBubbles();
Canvas paintCone();
Canvas paintPlane(bool second);
Canvas paintStar();
Canvas paintShimmer();
Canvas paintGimp();
