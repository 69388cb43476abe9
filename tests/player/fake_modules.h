// Modules of the tests' own, built into the test programs, with what they
// were asked kept in plain globals (one decoder per test at a time).
#pragma once

#include "melvox_modules.h"

#include <cstdint>
#include <string>
#include <vector>

// An input that serves the bytes of memoryInput.bytes.
struct MemoryInput {
    std::vector<uint8_t> bytes;
    bool seekable = true;
    bool reportSize = true;
    uint32_t largestRead = 0; // deliver at most this much per read (0: all asked)
    std::vector<uint32_t> seeks;
    int opens = 0, closes = 0, deletes = 0;
};
extern MemoryInput memoryInput;
extern "C" int memory_input_register(input_module* table);

// An output that keeps what it is written and asked.
struct RecordingOutput {
    struct Control {
        uint32_t mask;
        output_control values;
    };
    std::vector<Control> controls;
    std::vector<uint8_t> written;
    std::vector<uint32_t> writeSizes;
    uint32_t caps = 0;
    uint32_t delayMs = 0;
    int controlResult = 0;
    int opens = 0, closes = 0, deletes = 0;
};
extern RecordingOutput recordingOutput;
extern "C" int recording_output_register(output_module* table);

// A codec that reads bytesPerFrame bytes per frame from the input and
// delivers samplesPerFrame samples (per channel) of a counting pattern.
struct ScriptedCodec {
    uint32_t samplesPerFrame = 1152;
    uint32_t sampleRate = 44100;
    uint32_t channels = 2;
    uint32_t bytesPerFrame = 417;
    uint32_t durationMs = 0;
    uint32_t bitrate = 128;
    bool mapsRatio = false; // offset_to_ratio / ratio_to_offset present
    int decodeResult = 0;   // returned instead of decoding when not 0
    std::vector<uint32_t> repositions;
    int resets = 0, deletes = 0;
    codec_parameters lastParameters{};
    uint32_t lastParameterMask = 0;
};
extern ScriptedCodec scriptedCodec;
extern "C" int scripted_codec_register(codec_module* table);

// Resets every global above.
void resetFakeModules();
