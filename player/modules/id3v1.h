// The ID3 version 1 tag: 128 bytes at the end of a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace melvox {

constexpr size_t id3v1_tag_size = 128;

// The tag's properties as (name, value) pairs: "id3/title", "id3/artist",
// "id3/album", "id3/year", "id3/comment" with trailing spaces (and the NUL
// bytes that pad a field) removed, and "id3/genre" for genre numbers below
// 80. Empty when the bytes do not begin with "TAG".
std::vector<std::pair<std::string, std::string>> read_id3v1(const uint8_t (&tag)[id3v1_tag_size]);

// The name of genre number n of the ID3 version 1 list, or null from 80 up.
const char* id3v1_genre(unsigned n);

} // namespace melvox
