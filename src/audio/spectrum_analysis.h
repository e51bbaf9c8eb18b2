// The show's spectrum: a 512-point real FFT with a rectangular window over the newest 512 samples of
// one channel at 44.1 kHz, giving 256 magnitudes about 86 Hz apart. Pure computation (FFTW), shared
// by the live player and the offline tools so that both see the same numbers.
#pragma once
#include <cstddef>

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
