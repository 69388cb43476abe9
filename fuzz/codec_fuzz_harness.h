// The harness shared by the codec fuzz targets: a decoder in this process
// whose only input module serves the fuzzer's bytes as a seekable file, the
// codec under test registered beside it, two passes of decoding with a seek
// half-way between them.
#pragma once

#include "melvox_modules.h"

#include <cstddef>
#include <cstdint>

struct CodecFuzzRun {
    int (*registerCodec)(codec_module*);
    const char* fileName; // the name the codec is probed with
    int framesPerPass;
    bool skipDamagedFrames; // go on after error_invalid_frame instead of stopping
};

// Decodes data as a file's contents; traps when a frame overruns its buffer.
void fuzzCodec(const uint8_t* data, size_t size, const CodecFuzzRun& run);
