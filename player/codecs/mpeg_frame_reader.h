// Finds and reads MPEG audio frames in a byte stream: sync search, header
// validation, the look-ahead that confirms a new stream position, and the
// Layer III main-data reservoir.
#pragma once

#include "mpeg_bit_reader.h"
#include "mpeg_header.h"
#include "mpeg_input.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace melvox::mpeg {

class frame_reader {
public:
    // Room for the longest frame (1729 bytes: Layer II, 384 kbit/s, 32 kHz).
    static constexpr size_t frame_capacity = 2048;
    static constexpr size_t reservoir_size = 4096;
    // Layer III main data of one frame: at most 511 bytes of reservoir plus
    // the frame's own bytes.
    static constexpr size_t main_data_capacity = 2048;

    // Reads the next acceptable frame: its header passes validation and, when
    // the reader is not in sync, the bytes right behind it form another valid
    // header. Bytes that lead nowhere are skipped silently, and the bytes of a
    // frame that the look-ahead refutes are searched again from the byte after
    // its false header. Returns 0, or the input's error (the reader keeps its
    // state, so the call may be repeated). After error_end_of_input from the
    // look-ahead the frame is still returned.
    int next_frame(stream_input& input);

    const frame_header& header() const { return header_; }
    // Length of the current frame in bytes, header included, and its bytes.
    int length() const { return length_; }
    const uint8_t* frame_bytes() const { return frame_.data(); }
    // Bitrate of the current frame in kbit/s; for free format, the one that
    // its measured length gives.
    int bitrate_kbps() const;
    // The frame body behind the header, positioned after the CRC word if any.
    bit_reader& bits() { return bits_; }

    // Layer III: makes the main data that starts main_data_begin bytes before
    // this frame's own main data readable through main_bits(). False when the
    // reservoir does not reach that far back (the start of a cut stream).
    bool load_main_data(int main_data_begin);
    bit_reader& main_bits() { return main_bits_; }

    // Forgets everything read: the reservoir, the sync, any saved header.
    void flush();

    bool in_sync() const { return in_sync_; }

    // Until its first frame, the reader searches at most this many bytes
    // (not counting an ID3v2 tag that it begins with); then next_frame gives
    // error_no_audio_found. 0: no bound (a stream that has played resyncs
    // however long its damage lasts).
    void bound_search(uint64_t bytes) { search_bound_ = bytes; }

    // Where the current frame begins, in bytes from where the reader began
    // (its construction or the last flush).
    uint64_t frame_offset() const { return frame_offset_; }
    // Bytes between the end of the previous frame and this one that no frame
    // took (0 for the first frame since the reader began), and whether they
    // begin as a tag does (ID3v1 or v2, APE, Lyrics3): bytes that never
    // were audio. Skipped bytes that were not a tag break the main-data
    // reservoir: frames that reach back across them are not decoded.
    uint64_t bytes_skipped() const { return bytes_skipped_; }
    bool skipped_a_tag() const { return skipped_tag_; }
    // The main data that Layer III frames of this frame's granules may use:
    // main_data_begin bytes before the frame and the frame's own, in bytes.
    size_t main_data_available(int main_data_begin) const;

private:
    enum class read_state { header, body, next_header };

    int read_bytes(stream_input& input, uint8_t* destination, size_t size);
    int find_header(stream_input& input);
    // The length of a frame with this header: its bitrate's, or for free
    // format the measured one (0 while none is known for its stream).
    int length_of(const frame_header& header) const;
    bool acceptable(const frame_header& header) const;
    int measure_free_format(stream_input& input, uint32_t word);
    void push_back(const uint8_t* bytes, size_t size);
    void accept_frame();
    void append_main_data(const uint8_t* bytes, size_t size);

    // Bytes taken from the input and the replay buffer, less those given back.
    uint64_t consumed_ = 0;
    uint64_t header_offset_ = 0; // of the frame being read
    uint64_t saved_offset_ = 0;  // of the header read ahead
    uint64_t frame_offset_ = 0;
    uint64_t previous_end_ = 0;
    bool any_frame_ = false;
    uint64_t bytes_skipped_ = 0;
    bool skipped_tag_ = false;
    uint32_t gap_word_ = 0; // the first four bytes behind the previous frame
    uint64_t search_bound_ = 0;
    bool start_checked_ = false; // whether the reader looked for an ID3v2 tag at its start
    uint64_t start_tag_bytes_ = 0;

    read_state state_ = read_state::header;
    bool in_sync_ = false;
    frame_header header_;
    int length_ = 0; // of the current frame, header included

    // The header word being assembled by the sync search.
    uint32_t word_ = 0;
    int word_bytes_ = 0;

    // The header read ahead behind the current frame.
    bool saved_valid_ = false;
    uint8_t saved_bytes_[4] = {};

    // Free format: the frame length without padding, measured for the
    // stream of free_format_key free_key_.
    int free_length_ = 0;
    int free_key_ = -1;
    // Bytes still to be slid over before another measurement: the ones that a
    // failed measurement looked at (so that noise full of free-format
    // headers costs one look at each byte, not one per header).
    size_t measured_ahead_ = 0;

    // Bytes to be read again before the input's: the body of a refuted
    // frame, or the two frames that measured a free-format length.
    std::array<uint8_t, 2 * frame_capacity + 64> replay_{};
    size_t replay_begin_ = 0;
    size_t replay_end_ = 0;

    std::array<uint8_t, frame_capacity + bit_reader::padding> frame_{};
    bit_reader bits_;

    // Main-data ring and the current frame's place in it.
    std::array<uint8_t, reservoir_size> ring_{};
    size_t ring_write_ = 0;
    size_t ring_fill_ = 0;
    size_t main_start_ = 0;
    size_t main_size_ = 0;
    std::array<uint8_t, main_data_capacity + bit_reader::padding> main_data_{};
    bit_reader main_bits_;
};

} // namespace melvox::mpeg
