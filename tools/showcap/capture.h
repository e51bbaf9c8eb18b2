// The capture run: the show's own start-up, frame loop and closing screen on an offscreen GL
// context, with a scripted host whose frame counter drives both clocks, and each frame read back.
#pragma once
#include <cstdint>
#include <string>

#include "capture_options.h"

// --- Running
int runCapture(const CaptureOptions& options);  // process exit status; messages on standard error

// --- Pieces
uint64_t frameHash(const uint8_t* bytes, size_t size);  // FNV-1a, 64-bit
std::string progressLine(double fraction, double framesPerSecond, double secondsLeft,
                         long frame);  // "  42.0%  frame 4410  87.3 frames/s  0:41 left"
