// Measures captured frames (PNG files written by the demo's capture mode).
#pragma once

#include <string>

// Fraction of the frame's pixels that are not black (channel sum above
// minSum), or -1 if the frame cannot be read.
double litShare(const std::string& path, int minSum = 24);
// Number of pixels with a saturated colour (channels more than 60 apart),
// or -1 if the frame cannot be read.
int saturatedPixels(const std::string& path);
