// Short MP3 tracks made by the tests themselves: a WAV written here, encoded by lame, which writes
// the gapless tag so the decoder gives back exactly the WAV's length.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct Tone {
    double seconds = 6.0;
    int sampleRate = 44100;
    int channels = 2;
    double leftHz = 172.0;     // 0: silence on that channel
    double rightHz = 172.0;    // ignored for mono
    double amplitude = 0.5;    // of full scale
};

// --- Making tracks
// clicks: seconds; an accent on both channels at each, over the tone (an impulse, then a 1.2 kHz ring).
void writeToneWav(const std::string& path, const Tone& tone, const std::vector<double>& clicks = {});
std::string makeToneMp3(const std::string& dir, const std::string& name, const Tone& tone);  // path of the MP3
std::string lameMissing();   // empty when lame is installed, else a message for the failed test

// --- Reading device output
std::vector<int16_t> readRawSamples(const std::string& path);   // native-endian 16-bit samples
