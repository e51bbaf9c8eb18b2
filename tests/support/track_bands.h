// The music a scripted whole show plays to: the real track from data/ when it is there, decoded and
// analysed exactly as the live player does, else a synthetic spectrum with the same length and a
// silent ending, whose three trigger bands swing above and below their thresholds.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>

struct ShowMusic {
    bool realTrack = false;
    uint32_t lengthMs = 0;
    std::function<void(uint32_t positionMs, float* out)> spectrumAt;  // 256 entries
};

// --- Sources
ShowMusic loadShowMusic();                     // the real track if present, else syntheticShowMusic()
ShowMusic syntheticShowMusic();                // 186 s, silent from 183.5 s
void syntheticSpectrum(uint32_t positionMs, float* out);
