// How melvox-play reads the name given with -o.
#pragma once

#include <string>
#include <vector>

// The prefixes that the file output knows ("raw", "wav", "aiff", "sun").
const std::vector<std::string>& file_format_prefixes();

// The prefix that a name begins with ("alsa" of "alsa:hw:0"), or "" when it
// has none: a prefix is two or more letters, digits, '-' or '_' before the
// first ':', so that a path ("./a:b", "/tmp/x:y") or a drive letter
// ("C:\x.wav") is not one.
std::string output_prefix(const std::string& name);

// The output name to open for -o NAME. A name with a known prefix, "-" and
// a name without an extension that tells a format stay as they are; a file
// ending in .wav, .aif/.aiff or .au/.snd (in any case) gets that format's
// prefix. An unknown prefix sets problem and returns "".
std::string output_for(const std::string& name, const std::vector<std::string>& known_prefixes, std::string& problem);
