// The capture run: the show's own start-up, frame loop and closing screen on an offscreen GL
// context, with a scripted host whose frame counter drives both clocks, and each frame read back.
#pragma once
#include <cstdint>
#include <string>

#include "capture_options.h"
#include "frame_sink.h"

struct DecodedTrack;

// --- Running
int runCapture(const CaptureOptions& options);  // process exit status; messages on standard error
int runJoin(const CaptureOptions& options);     // --join: the same
int reportFailure(const std::string& message);  // "showcap: message" on standard error; returns 1

// --- What the frames depend on (showcap --version)
uint64_t dataDigest(const std::string& dataDir, std::string& error);  // the track and every image; 0: error says why
std::string glRenderer();   // GL_RENDERER and GL_VERSION of the offscreen context a capture draws on

// --- Pieces
constexpr uint64_t FnvStart = 1469598103934665603ull;
uint64_t frameHash(const uint8_t* bytes, size_t size, uint64_t h = FnvStart);  // FNV-1a, 64-bit; h: carried on
// The track's samples under frames firstFrame..lastFrame (-1: to the track's end), cut at its end.
AudioRange audioOfFrames(const DecodedTrack& track, long firstFrame, long lastFrame, int fps);
std::string progressLine(double fraction, double framesPerSecond, double secondsLeft,
                         long frame);  // "  42.0%  frame 4410  87.3 frames/s  0:41 left"
