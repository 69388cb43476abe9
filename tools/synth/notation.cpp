#include "notation.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace {

int letterClass(char letter)
{
    switch (letter) {
    case 'C': return 0;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'A': return 9;
    case 'B': return 11;
    default: return -1;
    }
}

// Root letter with an optional sharp or flat; returns the characters used.
size_t parseRoot(const std::string& text, int& pitchClass)
{
    if (text.empty() || letterClass(text[0]) < 0)
        return 0;
    pitchClass = letterClass(text[0]);
    if (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) {
        pitchClass = (pitchClass + (text[1] == '#' ? 1 : 11)) % 12;
        return 2;
    }
    return 1;
}

[[noreturn]] void refuse(const char* what, const std::string& token)
{
    throw std::invalid_argument(std::string(what) + " \"" + token + "\"");
}

} // namespace

int parseNoteName(const std::string& name)
{
    int pitchClass = 0;
    size_t used = parseRoot(name, pitchClass);
    if (used == 0 || used + 1 != name.size() || name[used] < '0' || name[used] > '8')
        refuse("bad note name", name);
    int octave = name[used] - '0';
    return 12 * (octave + 1) + pitchClass;
}

Melody parseMelody(const std::string& text)
{
    Melody melody;
    std::istringstream tokens(text);
    std::string token;
    while (tokens >> token) {
        size_t colon = token.find(':');
        if (colon == std::string::npos)
            refuse("melody token without length", token);
        std::string lengthText = token.substr(colon + 1);
        if (lengthText.empty() || lengthText.size() > 3 ||
            !std::all_of(lengthText.begin(), lengthText.end(), [](char c) { return c >= '0' && c <= '9'; }))
            refuse("bad note length in", token);
        int length = std::stoi(lengthText);
        if (length <= 0)
            refuse("bad note length in", token);
        std::string what = token.substr(0, colon);
        if (what != "r")
            melody.notes.push_back({melody.steps, length, parseNoteName(what)});
        melody.steps += length;
    }
    return melody;
}

Chord parseChord(const std::string& name)
{
    int root = 0;
    size_t used = parseRoot(name, root);
    bool minor = used > 0 && used + 1 == name.size() && name[used] == 'm';
    if (used == 0 || (used != name.size() && !minor))
        refuse("bad chord name", name);
    return {root, {root, (root + (minor ? 3 : 4)) % 12, (root + 7) % 12}};
}

std::vector<int> voiceInOctave(const Chord& chord, int low)
{
    std::vector<int> notes;
    for (int pitchClass : chord.triad) {
        int note = low + ((pitchClass - low) % 12 + 12) % 12;
        notes.push_back(note);
    }
    std::sort(notes.begin(), notes.end());
    return notes;
}
