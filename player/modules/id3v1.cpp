#include "id3v1.h"

#include <cstring>
#include <iterator>

namespace melvox {
namespace {

constexpr const char* genres[] = {"Blues",
                                  "Classic Rock",
                                  "Country",
                                  "Dance",
                                  "Disco",
                                  "Funk",
                                  "Grunge",
                                  "Hip-Hop",
                                  "Jazz",
                                  "Metal",
                                  "New Age",
                                  "Oldies",
                                  "Other",
                                  "Pop",
                                  "R&B",
                                  "Rap",
                                  "Reggae",
                                  "Rock",
                                  "Techno",
                                  "Industrial",
                                  "Alternative",
                                  "Ska",
                                  "Death Metal",
                                  "Pranks",
                                  "Soundtrack",
                                  "Euro-Techno",
                                  "Ambient",
                                  "Trip-Hop",
                                  "Vocal",
                                  "Jazz+Funk",
                                  "Fusion",
                                  "Trance",
                                  "Classical",
                                  "Instrumental",
                                  "Acid",
                                  "House",
                                  "Game",
                                  "Sound Clip",
                                  "Gospel",
                                  "Noise",
                                  "AlternRock",
                                  "Bass",
                                  "Soul",
                                  "Punk",
                                  "Space",
                                  "Meditative",
                                  "Instrumental Pop",
                                  "Instrumental Rock",
                                  "Ethnic",
                                  "Gothic",
                                  "Darkwave",
                                  "Techno-Industrial",
                                  "Electronic",
                                  "Pop-Folk",
                                  "Eurodance",
                                  "Dream",
                                  "Southern Rock",
                                  "Comedy",
                                  "Cult",
                                  "Gangsta",
                                  "Top 40",
                                  "Christian Rap",
                                  "Pop/Funk",
                                  "Jungle",
                                  "Native American",
                                  "Cabaret",
                                  "New Wave",
                                  "Psychadelic",
                                  "Rave",
                                  "Showtunes",
                                  "Trailer",
                                  "Lo-Fi",
                                  "Tribal",
                                  "Acid Punk",
                                  "Acid Jazz",
                                  "Polka",
                                  "Retro",
                                  "Musical",
                                  "Rock & Roll",
                                  "Hard Rock"};
static_assert(std::size(genres) == 80, "the ID3 version 1 list names 80 genres");

// A field as text: up to its first NUL, trailing spaces removed.
std::string field(const uint8_t* bytes, size_t length)
{
    auto text = reinterpret_cast<const char*>(bytes);
    std::string s(text, strnlen(text, length));
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
}

} // namespace

const char* id3v1_genre(unsigned n)
{
    return n < std::size(genres) ? genres[n] : nullptr;
}

std::vector<std::pair<std::string, std::string>> read_id3v1(const uint8_t (&tag)[id3v1_tag_size])
{
    std::vector<std::pair<std::string, std::string>> properties;
    if (std::memcmp(tag, "TAG", 3) != 0)
        return properties;
    properties.emplace_back("id3/title", field(tag + 3, 30));
    properties.emplace_back("id3/artist", field(tag + 33, 30));
    properties.emplace_back("id3/album", field(tag + 63, 30));
    properties.emplace_back("id3/year", field(tag + 93, 4));
    properties.emplace_back("id3/comment", field(tag + 97, 30));
    if (const char* genre = id3v1_genre(tag[127]))
        properties.emplace_back("id3/genre", genre);
    return properties;
}

} // namespace melvox
