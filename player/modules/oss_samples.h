// Sample formats of OSS devices: their names, and turning the decoder's
// 16-bit host-order samples into what the device plays.
#pragma once

#include <cstddef>
#include <cstdint>

namespace melvox::oss {

// OSS format codes (AFMT_*) that the output knows.
enum format_code { format_mu_law = 1, format_u8 = 8, format_s16_le = 16, format_s16_be = 32 };

// "mu law", "8 bits unsigned", "16 bits signed, little-endian",
// "16 bits signed, big-endian", or "unknown".
const char* format_name(int format);

bool is_16bit(int format);

// True when a 16-bit format's byte order differs from this machine's.
bool differs_from_host_order(int format);

// Writes count samples in format into out: 2 bytes each for the 16-bit
// formats (byte-swapped when swap is set), 1 byte each for the 8-bit ones.
// Returns the bytes written; 0 for an unknown format.
size_t convert_samples(const int16_t* in, size_t count, int format, bool swap, uint8_t* out);

// G.711 mu-law code of a 16-bit linear sample.
uint8_t mu_law(int16_t sample);

} // namespace melvox::oss
