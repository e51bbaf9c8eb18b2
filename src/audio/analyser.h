// The show's spectrum: a 512-point real FFT with a rectangular window over the newest 512 samples of
// one channel at 44.1 kHz, giving 256 magnitudes about 86 Hz apart. Pure computation (FFTW), shared
// by the live player and the offline tools so that both see the same numbers.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>

constexpr int AnalysisSize = 512;        // samples per analysis
constexpr int AnalysisBins = 256;        // magnitudes out: entry k centred near k * 86.13 Hz
constexpr int AnalysisSampleRate = 44100;

class SpectrumAnalyser {
public:
    SpectrumAnalyser();   // plans the FFT; not for the audio thread
    ~SpectrumAnalyser();
    SpectrumAnalyser(const SpectrumAnalyser&) = delete;
    SpectrumAnalyser& operator=(const SpectrumAnalyser&) = delete;

    // --- Analysis
    // samples: AnalysisSize values in [-1, 1], oldest first. out: AnalysisBins magnitudes, scaled so a
    // full-scale sine centred on a bin reads 1.0 there.
    void analyse(const float* samples, float* out);

private:
    float* input_;
    void* output_;   // fftwf_complex[AnalysisSize / 2 + 1]
    void* plan_;     // fftwf_plan
};

// --- The spectrum at a play position (the one definition the live player and the tools share)
// The newest AnalysisSize samples of channel 0 before positionFrame (frames before the track's start
// are silence), analysed; all zeros once the position has reached trackFrames, the end of the track.
// readChannel0(first, count, dst) copies channel 0 of frames [first, first + count) and may refuse
// (returns false), in which case nothing is written to out and the result is false.
template <class Channel0Reader>
bool analyseAtFrame(SpectrumAnalyser& analyser, uint64_t positionFrame, uint64_t trackFrames,
                    Channel0Reader&& readChannel0, float* out)
{
    if (positionFrame >= trackFrames) {
        std::fill(out, out + AnalysisBins, 0.0f);
        return true;
    }
    float window[AnalysisSize];
    const size_t lead = positionFrame < uint64_t(AnalysisSize) ? size_t(AnalysisSize - positionFrame) : 0;
    std::fill(window, window + lead, 0.0f);
    if (!readChannel0(positionFrame + lead - AnalysisSize, AnalysisSize - lead, window + lead)) return false;
    analyser.analyse(window, out);
    return true;
}
