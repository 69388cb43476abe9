#include "mpeg_frame_reader.h"

#include "mpeg_errors.h"
#include "mpeg_stream_headers.h"

#include <algorithm>
#include <cstring>

namespace melvox::mpeg {

namespace {

uint32_t word_of(const uint8_t* bytes)
{
    return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// The first bytes of an ID3v1 or v2, APE or Lyrics3 tag.
bool is_tag_start(uint32_t word)
{
    uint32_t three = word >> 8;
    return three == 0x544147 /* TAG */ || three == 0x494433 /* ID3 */ || word == 0x41504554 /* APET */ ||
           word == 0x4C595249 /* LYRI */;
}

} // namespace

int frame_reader::length_of(const frame_header& header) const
{
    if (!is_free_format(header))
        return frame_length(header);
    if (free_length_ == 0 || free_format_key(header) != free_key_)
        return 0;
    return free_length_ + (header.padding_bit ? padding_bytes(header) : 0);
}

bool frame_reader::acceptable(const frame_header& header) const
{
    int length = header_valid(header) ? length_of(header) : 0;
    return length > 4 && static_cast<size_t>(length) <= frame_capacity;
}

int frame_reader::bitrate_kbps() const
{
    if (is_free_format(header_))
        return free_format_bitrate(header_, length_ - (header_.padding_bit ? padding_bytes(header_) : 0));
    return mpeg::bitrate_kbps(header_);
}

int frame_reader::measure_free_format(stream_input& input, uint32_t word)
{
    // The header at offset 0 has been read; the bytes behind it are read one
    // by one (so that the end of the input loses none) and given back
    // afterwards. A length counts when a header of the same stream stands
    // there and another one a frame further on, or the input ends there.
    const frame_header first = parse_header(word);
    const int key = free_format_key(first);
    const int first_padding = first.padding_bit ? padding_bytes(first) : 0;
    const size_t shortest = 4 + static_cast<size_t>(layer_number(first) == 3 ? side_info_length(first) : 4);
    std::array<uint8_t, 2 * frame_capacity + 8> scan;
    size_t have = 4; // offsets into the frame; the header's bytes are not kept
    bool ended = false;
    auto byte_at = [&](size_t offset) { return scan[offset - 4]; };
    auto fill_to = [&](size_t end) -> int {
        while (have < end && !ended) {
            int result = read_bytes(input, &scan[have - 4], 1);
            if (result == error_end_of_input) {
                ended = true;
                break;
            }
            if (result < 0)
                return result;
            ++have;
        }
        return 0;
    };
    auto header_at = [&](size_t offset, frame_header& found) {
        if (offset + 4 > have)
            return false;
        uint32_t w = uint32_t{byte_at(offset)} << 24 | uint32_t{byte_at(offset + 1)} << 16 |
                     uint32_t{byte_at(offset + 2)} << 8 | byte_at(offset + 3);
        found = parse_header(w);
        return has_sync(w) && free_format_key(found) == key && header_valid(found);
    };

    int measured = 0;
    for (size_t next = shortest; next <= frame_capacity && measured == 0; ++next) {
        if (int result = fill_to(next + 4); result < 0) {
            push_back(scan.data(), have - 4);
            return result;
        }
        frame_header second;
        if (!header_at(next, second))
            continue;
        int length = static_cast<int>(next) - first_padding;
        size_t third = next + static_cast<size_t>(length) + (second.padding_bit ? padding_bytes(second) : 0);
        if (int result = fill_to(third + 4); result < 0) {
            push_back(scan.data(), have - 4);
            return result;
        }
        frame_header after;
        if (length > 4 && (header_at(third, after) || (ended && have == third)))
            measured = length;
    }
    push_back(scan.data(), have - 4);
    if (measured) {
        free_length_ = measured;
        free_key_ = key;
    } else {
        measured_ahead_ = have - 4;
    }
    return measured ? 0 : 1;
}

int frame_reader::read_bytes(stream_input& input, uint8_t* destination, size_t size)
{
    size_t held = replay_end_ - replay_begin_;
    if (held == 0) {
        if (int result = input.read(destination, size); result < 0)
            return result;
    } else if (held >= size) {
        std::memcpy(destination, replay_.data() + replay_begin_, size);
        replay_begin_ += size;
    } else {
        // The replayed bytes are used only once the input has delivered the rest.
        if (int result = input.read(destination + held, size - held); result < 0)
            return result;
        std::memcpy(destination, replay_.data() + replay_begin_, held);
        replay_begin_ = replay_end_ = 0;
    }
    consumed_ += size;
    return 0;
}

void frame_reader::push_back(const uint8_t* bytes, size_t size)
{
    size_t held = replay_end_ - replay_begin_;
    // The bytes pushed back come before those still held, so they go in
    // front. Together they never exceed the largest frame and its look-ahead
    // or what was held before, so the buffer always has room; the clamp only
    // guards the arithmetic.
    if (size + held > replay_.size())
        size = replay_.size() - held;
    std::memmove(replay_.data() + size, replay_.data() + replay_begin_, held);
    std::memcpy(replay_.data(), bytes, size);
    replay_begin_ = 0;
    replay_end_ = size + held;
    consumed_ -= size;
}

int frame_reader::find_header(stream_input& input)
{
    for (;;) {
        if (word_bytes_ == 0) {
            uint8_t bytes[4];
            if (int result = read_bytes(input, bytes, 4); result < 0)
                return result;
            word_ = word_of(bytes);
            word_bytes_ = 4;
            if (any_frame_ && consumed_ - 4 == previous_end_)
                gap_word_ = word_;
        }
        while (word_bytes_ < 4) {
            uint8_t byte;
            if (int result = read_bytes(input, &byte, 1); result < 0)
                return result;
            word_ = word_ << 8 | byte;
            ++word_bytes_;
        }
        if (!start_checked_ && !any_frame_ && consumed_ == 4) {
            // A tag at the start is searched like any bytes, but does not
            // count against the search bound.
            if ((word_ >> 8) == 0x494433 /* ID3 */) {
                uint8_t tag[10];
                for (int i = 0; i < 4; ++i)
                    tag[i] = static_cast<uint8_t>(word_ >> (24 - 8 * i));
                if (int result = read_bytes(input, tag + 4, 6); result < 0)
                    return result;
                start_tag_bytes_ = id3v2_tag_size(tag, sizeof tag);
                push_back(tag + 4, 6);
            }
            start_checked_ = true;
        }
        if (has_sync(word_)) {
            frame_header header = parse_header(word_);
            // A free-format stream found anew has its frame length measured.
            if (is_free_format(header) && header_valid(header) && (!in_sync_ || !acceptable(header)) &&
                measured_ahead_ == 0)
                if (int result = measure_free_format(input, word_); result < 0)
                    return result;
            if (acceptable(header)) {
                header_ = header;
                header_offset_ = consumed_ - 4;
                word_bytes_ = 0;
                return 0;
            }
        }
        if (search_bound_ != 0 && !any_frame_ && consumed_ > search_bound_ + start_tag_bytes_)
            return error_no_audio_found;
        // Slide on by one byte: a real header may begin inside this word.
        in_sync_ = false;
        word_bytes_ = 3;
        if (measured_ahead_ > 0)
            --measured_ahead_;
    }
}

int frame_reader::next_frame(stream_input& input)
{
    for (;;) {
        if (state_ == read_state::header) {
            uint32_t word;
            if (saved_valid_) {
                saved_valid_ = false;
                word = word_of(saved_bytes_);
                header_ = parse_header(word);
                header_offset_ = saved_offset_;
            } else if (int result = find_header(input); result < 0) {
                return result;
            } else {
                word = word_;
            }
            for (int i = 0; i < 4; ++i)
                frame_[i] = static_cast<uint8_t>(word >> (24 - 8 * i));
            length_ = length_of(header_);
            state_ = read_state::body;
        }
        if (state_ == read_state::body) {
            if (int result = read_bytes(input, frame_.data() + 4, length_ - 4); result < 0)
                return result;
            state_ = in_sync_ ? read_state::header : read_state::next_header;
            if (in_sync_) {
                accept_frame();
                return 0;
            }
        }
        // Not in sync: the frame counts only if another valid header follows.
        int result = read_bytes(input, saved_bytes_, 4);
        if (result == error_end_of_input) {
            state_ = read_state::header;
            accept_frame();
            return 0;
        }
        if (result < 0)
            return result;
        state_ = read_state::header;
        saved_offset_ = consumed_ - 4;
        uint32_t next = word_of(saved_bytes_);
        if (has_sync(next) && acceptable(parse_header(next))) {
            saved_valid_ = true;
            in_sync_ = true;
            accept_frame();
            return 0;
        }
        // A false frame: search its bytes again from the byte after its header.
        push_back(saved_bytes_, 4);
        push_back(frame_.data() + 1, length_ - 1);
    }
}

void frame_reader::accept_frame()
{
    frame_offset_ = header_offset_;
    bytes_skipped_ = any_frame_ && frame_offset_ > previous_end_ ? frame_offset_ - previous_end_ : 0;
    skipped_tag_ = bytes_skipped_ > 0 && is_tag_start(gap_word_);
    if (bytes_skipped_ > 0 && !skipped_tag_)
        ring_fill_ = 0;
    previous_end_ = frame_offset_ + static_cast<uint64_t>(length_);
    any_frame_ = true;
    size_t body = static_cast<size_t>(length_) - 4;
    bits_.reset(frame_.data() + 4, body);
    if (!header_.protection_bit)
        bits_.skip(16);
    if (layer_number(header_) == 3) {
        size_t side = static_cast<size_t>(side_info_length(header_));
        main_start_ = ring_write_;
        main_size_ = body > side ? body - side : 0;
        append_main_data(frame_.data() + 4 + side, main_size_);
    }
}

void frame_reader::append_main_data(const uint8_t* bytes, size_t size)
{
    size_t first = std::min(size, reservoir_size - ring_write_);
    std::memcpy(ring_.data() + ring_write_, bytes, first);
    std::memcpy(ring_.data(), bytes + first, size - first);
    ring_write_ = (ring_write_ + size) % reservoir_size;
    ring_fill_ = std::min(ring_fill_ + size, reservoir_size);
}

size_t frame_reader::main_data_available(int main_data_begin) const
{
    return static_cast<size_t>(std::max(main_data_begin, 0)) + main_size_;
}

bool frame_reader::load_main_data(int main_data_begin)
{
    size_t total = static_cast<size_t>(main_data_begin) + main_size_;
    if (main_data_begin < 0 || ring_fill_ < total || total > main_data_capacity)
        return false;
    size_t start = (main_start_ + reservoir_size - static_cast<size_t>(main_data_begin)) % reservoir_size;
    size_t first = std::min(total, reservoir_size - start);
    std::memcpy(main_data_.data(), ring_.data() + start, first);
    std::memcpy(main_data_.data() + first, ring_.data(), total - first);
    main_bits_.reset(main_data_.data(), total);
    return true;
}

void frame_reader::flush()
{
    state_ = read_state::header;
    in_sync_ = false;
    measured_ahead_ = 0;
    consumed_ = header_offset_ = saved_offset_ = frame_offset_ = previous_end_ = bytes_skipped_ = 0;
    any_frame_ = skipped_tag_ = false;
    gap_word_ = 0;
    start_checked_ = false;
    start_tag_bytes_ = 0;
    saved_valid_ = false;
    word_bytes_ = 0;
    replay_begin_ = replay_end_ = 0;
    ring_write_ = ring_fill_ = 0;
    main_start_ = main_size_ = 0;
    bits_ = bit_reader();
    main_bits_ = bit_reader();
}

} // namespace melvox::mpeg
