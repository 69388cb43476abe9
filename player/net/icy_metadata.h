// In-stream ICY metadata: after every interval of audio bytes comes one length
// byte L and L x 16 bytes of text such as "StreamTitle='...';". The cutter
// removes these blocks from the bytes as they arrive, so the ring holds audio
// only, and keeps each block until playback reaches its place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>

namespace melvox::net {

class net_reporter;

// Keys longer than this are ignored.
inline constexpr size_t icy_key_limit = 255;

// Calls pair for each complete "key=value;" of the text: '=' ends the key,
// ';' ends the value, except that a value in single quotes ends at the quote
// before a ';' (titles may hold ';'); quotes are kept. Text after the last
// pair is ignored, as are empty keys and keys longer than icy_key_limit.
void parse_icy_metadata(std::string_view text,
                        const std::function<void(std::string_view key, std::string_view value)>& pair);

class icy_cutter {
public:
    // Starts a stream with the given interval (0: no metadata).
    void start(uint32_t interval);
    bool active() const { return interval_ != 0; }

    // Cuts the metadata out of count new bytes that lie at offset from in a
    // ring of size bytes at base, moving later audio bytes down over it.
    // Returns how many audio bytes now follow from.
    size_t cut(uint8_t* base, size_t size, size_t from, size_t count);

    // After count audio bytes went to the reader: every metadata block whose
    // place has been reached sets its "icy/<key>" properties.
    void delivered(size_t count, net_reporter& reporter);

    // Blocks waiting for playback to reach them; the oldest is dropped beyond.
    static constexpr size_t pending_limit = 32;

private:
    struct pending_block {
        uint64_t at; // audio bytes before the block
        std::string text;
    };

    void finish_block();

    uint32_t interval_ = 0;
    uint32_t audio_left_ = 0; // audio bytes before the next length byte
    size_t metadata_left_ = 0;
    bool in_metadata_ = false;
    std::string metadata_;
    uint64_t audio_total_ = 0;
    uint64_t delivered_total_ = 0;
    std::deque<pending_block> pending_;
};

} // namespace melvox::net
