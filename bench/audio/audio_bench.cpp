// What the music component costs where it matters: the main thread's per-frame calls, the audio
// callback's copy-and-publish, the decoder's work per callback's worth of samples, and the tools'
// offline spectrum. Track: $AUDIO_BENCH_TRACK, else the show's own from data/.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/mp3_decoder.h"
#include "audio/music.h"
#include "audio/music_errors.h"
#include "desktop/stream_player.h"

namespace {
constexpr size_t CallbackFrames = 1024;   // per timed callback; the show's are 8192 frames, and the cost follows the count

std::string benchTrack()
{
    const char* chosen = std::getenv("AUDIO_BENCH_TRACK");
    return chosen && *chosen ? chosen : SHOW_TRACK;
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// --- Main thread, with the real device running (dummy driver)
void BM_FetchSpectrum(benchmark::State& state)
{
    for (auto _ : state) {
        fetchSpectrum();
        benchmark::DoNotOptimize(spectrum[2]);
    }
}
BENCHMARK(BM_FetchSpectrum);

void BM_MusicPosition(benchmark::State& state)
{
    for (auto _ : state) benchmark::DoNotOptimize(musicPosition());
}
BENCHMARK(BM_MusicPosition);

// --- Audio callback: copy 1024 frames from the ring, convert, keep channel 0, publish
void BM_AudioCallback(benchmark::State& state)
{
    StreamPlayer player;
    if (player.open(benchTrack().c_str()) != MusicOk) {
        state.SkipWithError("track does not open");
        return;
    }
    std::vector<int16_t> out(CallbackFrames * MusicChannels);
    int64_t now = 1;
    for (auto _ : state) {
        if (player.decodeError() || player.tap().latest().frames + 4 * CallbackFrames >= player.trackFrames()) {
            state.SkipWithError("track too short for this many iterations");
            break;
        }
        player.prefill(2 * CallbackFrames);   // the decoder thread's job, not timed
        const auto start = std::chrono::steady_clock::now();
        player.fill(out.data(), CallbackFrames, now, 0);
        state.SetIterationTime(secondsSince(start));
        now += 23'219'955;
    }
    state.counters["underrun_frames"] = double(player.underrunFrames());
}
BENCHMARK(BM_AudioCallback)->UseManualTime()->Iterations(6000);

// --- Decoder thread: 1024 frames decoded, the work that keeps one callback fed
void BM_DecodeCallbackWorth(benchmark::State& state)
{
    Mp3Decoder decoder;
    if (decoder.open(benchTrack().c_str()) != MusicOk) {
        state.SkipWithError("track does not open");
        return;
    }
    std::vector<float> out(CallbackFrames * MusicChannels);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        size_t got = decoder.read(out.data(), CallbackFrames);
        state.SetIterationTime(secondsSince(start));
        if (got < CallbackFrames) {
            state.PauseTiming();
            decoder.open(benchTrack().c_str());
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_DecodeCallbackWorth)->UseManualTime();

// --- Tools: the spectrum of a decoded track at a position
void BM_OfflineSpectrumAt(benchmark::State& state)
{
    static DecodedTrack track;
    if (track.samples.empty() && decodeTrack(benchTrack().c_str(), track) != MusicOk) {
        state.SkipWithError("track does not decode");
        return;
    }
    SpectrumAnalyser analyser;
    float out[AnalysisBins];
    uint32_t ms = 0;
    for (auto _ : state) {
        spectrumAt(track, ms, analyser, out);
        benchmark::DoNotOptimize(out[2]);
        ms = (ms + 17) % track.lengthMs();
    }
}
BENCHMARK(BM_OfflineSpectrumAt);

void BM_DecodeWholeTrack(benchmark::State& state)
{
    double seconds = 0;
    for (auto _ : state) {
        DecodedTrack track;
        if (decodeTrack(benchTrack().c_str(), track) != MusicOk) {
            state.SkipWithError("track does not decode");
            return;
        }
        seconds = track.frames() / double(MusicSampleRate);
    }
    state.counters["track_seconds"] = seconds;
}
BENCHMARK(BM_DecodeWholeTrack)->Unit(benchmark::kMillisecond)->Iterations(3);
}  // namespace

int main(int argc, char** argv)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    benchmark::Initialize(&argc, argv);
    std::printf("track: %s\n", benchTrack().c_str());
    initMusic(benchTrack().c_str());   // stops with its error line if the track or device is missing
    benchmark::RunSpecifiedBenchmarks();
    closeMusic();
    benchmark::Shutdown();
    return 0;
}
