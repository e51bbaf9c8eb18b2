// Show music for the scripted runs. The synthetic spectrum holds entry 0 as the peak and lets
// entries 2, 4 and 6 cross their spawn thresholds on different cycles, so every rule fires, is held
// back by its rate limit, and falls silent again.
#include "support/track_bands.h"

#include <algorithm>
#include <filesystem>
#include <string>

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/music.h"
#include "audio/music_errors.h"

namespace {
constexpr uint32_t SyntheticLengthMs = 186000;
constexpr uint32_t SyntheticSilenceFromMs = 183500;

struct RealMusic {
    DecodedTrack track;
    SpectrumAnalyser analyser;
};
}  // namespace

void syntheticSpectrum(uint32_t ms, float* out)
{
    std::fill(out, out + SpectrumSize, 0.0f);
    if (ms < 500 || ms >= SyntheticSilenceFromMs) return;
    out[0] = 1.0f;                                  // the peak: strengths are value x 256
    out[2] = (ms % 4000) < 2500 ? 0.40f : 0.20f;    // grid band: 102 or 51 against 89
    out[4] = (ms % 1000) < 600 ? 0.10f : 0.05f;     // spark band: 25.6 or 12.8 against 22
    out[6] = (ms % 3000) < 2000 ? 0.25f : 0.10f;    // stroke band: 64 or 25.6 against 50
    for (int k = 8; k < 128; ++k) out[k] = 0.02f;
}

ShowMusic syntheticShowMusic()
{
    ShowMusic m;
    m.lengthMs = SyntheticLengthMs;
    m.spectrumAt = syntheticSpectrum;
    return m;
}

ShowMusic loadShowMusic()
{
    const std::string path = std::string(SHOW_DATA_DIR) + "/bass_300808.mp3";
    if (!std::filesystem::exists(path)) return syntheticShowMusic();
    auto real = std::make_shared<RealMusic>();
    if (decodeTrack(path.c_str(), real->track) != MusicOk) return syntheticShowMusic();
    ShowMusic m;
    m.realTrack = true;
    m.lengthMs = real->track.lengthMs();
    m.spectrumAt = [real](uint32_t ms, float* out) { spectrumAt(real->track, ms, real->analyser, out); };
    return m;
}
