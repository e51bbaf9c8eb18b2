// SpectrumAnalyser over FFTW (single precision). The plan and buffers are made once, so analyse()
// allocates nothing and can run every frame.
#include "audio/analyser.h"

#include <fftw3.h>

#include <cmath>
#include <cstring>
#include <mutex>

namespace {
// FFTW's planner is not thread-safe; the show plans on one thread, but tools and tests may not.
std::mutex plannerMutex;
}  // namespace

SpectrumAnalyser::SpectrumAnalyser()
{
    std::lock_guard<std::mutex> lock(plannerMutex);
    input_ = fftwf_alloc_real(AnalysisSize);
    auto* output = fftwf_alloc_complex(AnalysisSize / 2 + 1);
    output_ = output;
    plan_ = fftwf_plan_dft_r2c_1d(AnalysisSize, input_, output, FFTW_ESTIMATE);
}

SpectrumAnalyser::~SpectrumAnalyser()
{
    std::lock_guard<std::mutex> lock(plannerMutex);
    fftwf_destroy_plan(static_cast<fftwf_plan>(plan_));
    fftwf_free(static_cast<fftwf_complex*>(output_));
    fftwf_free(input_);
}

void SpectrumAnalyser::analyse(const float* samples, float* out)
{
    std::memcpy(input_, samples, sizeof(float) * AnalysisSize);
    fftwf_execute(static_cast<fftwf_plan>(plan_));
    const auto* bins = static_cast<const fftwf_complex*>(output_);
    // A sine of amplitude A on bin k gives |X_k| = A * N / 2 under a rectangular window.
    constexpr float Scale = 2.0f / AnalysisSize;
    for (int k = 0; k < AnalysisBins; ++k) out[k] = std::hypot(bins[k][0], bins[k][1]) * Scale;
}
