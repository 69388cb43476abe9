// What Wine's ALSA driver played into ALSA's "file" plugin: the tests that
// play for real run with ALSA_CONFIG_PATH naming a configuration whose
// default device writes raw PCM to capture.raw beside it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

bool underWine();

// capture.raw as a path of the Windows side; empty without ALSA_CONFIG_PATH.
std::string capturePath();

// One frame of 16-bit samples (a mono sample stands in the left channel).
struct Frame {
    int16_t left, right;
};

bool equal(const Frame& heard, const Frame& sent);
// The left channel at half (with one step of rounding), the right whole.
bool leftAtHalf(const Frame& heard, const Frame& sent);

// Every sent frame arrives, matching and in order, with only silence around
// and between: Wine's mixer feeds the device silence whenever its queue runs
// dry (at the start, the end, or when the writer is slow).
::testing::AssertionResult playedExactly(const std::vector<uint8_t>& capture, const std::vector<uint8_t>& sent,
                                         bool (*same)(const Frame&, const Frame&) = equal, int channels = 2);
