// A whole track decoded into memory, for tools that need the music without a device (the scripted
// show test, the video capture): the same decoder, samples and spectrum definition as the live show.
// Never used by the show's own start-up, which streams.
#pragma once
#include <cstdint>
#include <vector>

#include "audio/mp3_decoder.h"

class SpectrumAnalyser;

struct DecodedTrack {
    std::vector<float> samples;   // interleaved stereo, 44.1 kHz, exactly what the live player hands out

    uint64_t frames() const { return samples.size() / MusicChannels; }   // the track's length in frames
    uint32_t lengthMs() const { return framesToMs(frames()); }           // what musicLength() reports
};

// --- Decoding
int decodeTrack(const char* fileName, DecodedTrack& out);   // MusicOk or a MusicError; out empty on failure

// --- Spectrum (AnalysisBins magnitudes into out; all zeros at or past the end)
void spectrumAt(const DecodedTrack& track, uint32_t positionMs, SpectrumAnalyser& analyser, float* out);
void spectrumAtFrame(const DecodedTrack& track, uint64_t positionFrame, SpectrumAnalyser& analyser, float* out);
