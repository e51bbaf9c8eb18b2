// The track's file format: MP3 written with libmp3lame (with the LAME/Info tag that lets decoders trim
// the encoder's padding, so the decoded length equals the synthesized one) and read back with libmpg123.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "synth.h"

// --- Encoding
std::vector<uint8_t> encodeMp3(const Bus& stereo);   // 44.1 kHz joint stereo, VBR about 190 kbit/s

// --- Decoding
struct DecodedMp3 {
    long rate = 0;                 // Hz
    int channels = 0;
    std::vector<float> samples;    // interleaved, full scale = 1
    size_t frames() const { return channels ? samples.size() / size_t(channels) : 0; }
};
bool decodeMp3(const std::string& path, DecodedMp3& out, std::string& error);  // false with a reason
