// make-images DIR [FILE...]: paints the demo's images into DIR (created if
// missing), all 32 of them or only the named files. The output depends on
// nothing but this program, so running it again gives identical files.
#include "demo_images.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>

std::vector<DemoImage> demoImages()
{
    std::vector<DemoImage> list = {
        {"asci.png", false, paintAsciiArt},
        {"bedankt.png", false, paintThanks},
        {"beer.png", false, paintBeer},
        {"bobel1.png", true, paintOuterBall},
        {"bobel2.png", false, paintInnerBall},
        {"bubble2.png", true, paintBubbles},
        {"cone1.png", true, paintCone},
        {"down.png", false, [] { return paintSheetFace(false); }},
        {"fdplane1.png", false, [] { return paintPlane(false); }},
        {"fdplane2.png", false, [] { return paintPlane(true); }},
        {"OrB-jordan.png", true, paintJordanEmblem},
        {"owns.png", false, paintOwns},
        {"preshere.png", false, paintPresentsHere},
        {"star1.png", true, paintStar},
        {"stoporb.png", false, paintStopOrb},
        {"thegimp.png", false, paintGimp},
        {"tibet.png", false, paintTibet},
        {"tx_greets.png", true, paintGreetingsLabel},
    };
    for (int group = 1; group <= 10; ++group) {
        char file[32];
        std::snprintf(file, sizeof file, "tx_grp%02d.png", group);
        list.push_back({file, true, [group] { return paintGroupLabel(group); }});
    }
    list.push_back({"up.png", false, [] { return paintSheetFace(true); }});
    list.push_back({"vlakje.png", false, paintShimmer});
    list.push_back({"world.png", false, paintWorld});
    list.push_back({"yourorb.png", false, paintYourOrb});
    return list;
}

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
        std::fprintf(stderr, "usage: make-images DIR [FILE...]\n");
        return 2;
    }
    std::filesystem::path directory = argv[1];
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) {
        std::fprintf(stderr, "make-images: cannot create %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }

    std::vector<DemoImage> images = demoImages();
    std::set<std::string> wanted(argv + 2, argv + argc);
    for (const std::string& file : wanted) {
        bool known = false;
        for (const DemoImage& image : images)
            known = known || image.file == file;
        if (!known) {
            std::fprintf(stderr, "make-images: no image named %s\n", file.c_str());
            return 2;
        }
    }
    for (const DemoImage& image : images) {
        if (!wanted.empty() && !wanted.count(image.file))
            continue;
        if (!writePng(image.paint(), (directory / image.file).string(), image.alpha))
            return 1;
    }
    return 0;
}
