// The reader of config.ini: display and sound settings, the timeline, the
// parameter tracks, the image table and the music file.
#pragma once

#include <cstdio>
#include <string>

constexpr int musicPathCapacity = 32; // bytes, terminator included

extern bool fullscreen;
extern bool soundEnabled;
extern std::string imagePath;
extern std::string soundPath;
extern char musicPath[musicPathCapacity];

// Puts every setting back to its default.
void resetConfig();

// Applies every line of an open config file to the settings, the timeline
// and the image table (no texture work).
void parseConfig(FILE* file);

// Reads and applies the whole file, then loads the textures and resolves the
// texture slots of every registered effect. False when it cannot be opened.
bool readConfig(const char* fileName);
