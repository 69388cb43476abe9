// The vector instructions that the decoder's hot stages use, chosen once at
// run time from what the processor offers: the plain code everywhere, SSE2
// (the floor on x86) and AVX2. The plain code stays the reference that the
// vector paths must match.
#pragma once

namespace melvox::mpeg {

enum class instruction_set { plain, sse2, avx2 };

// The best set that this build and this processor both have.
instruction_set best_instruction_set();

// The set in use: the best one, unless the MELVOX_MPEG_SIMD environment
// variable ("plain", "sse2", "avx2") or use_instruction_set() asked for a
// lesser one.
instruction_set active_instruction_set();

// Switches the decoder to `set`, or to the best available when `set` is
// beyond it; returns the set now in use. For comparisons and tests.
instruction_set use_instruction_set(instruction_set set);

const char* instruction_set_name(instruction_set set);

} // namespace melvox::mpeg
