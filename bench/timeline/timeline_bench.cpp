// The timeline's logic per frame, without GL: the sweep over the live list (fragments whose draw does
// nothing), the spectrum rules, each kind of spawn and the cue scan. The busiest list the show
// reaches, at the end of a frame, is 46 fragments (the scripted run on the real track).
#include <benchmark/benchmark.h>

#include <memory>

#include "audio/music.h"
#include "fragments/electro_points.h"
#include "timeline/active_fragments.h"
#include "timeline/cue_list.h"
#include "timeline/scene.h"
#include "timeline/show_state.h"
#include "timeline/spawner.h"
#include "utils/random.h"
#include "utils/video.h"

namespace {
constexpr int BusiestList = 46;

uint32_t clockMs = 100000;
uint32_t benchTicks() { return clockMs; }

// A live list of n fragments that never expire during the run and draw nothing.
void fillList(int n)
{
    ActiveFragments.clear();
    CueList.clear();
    LastSpawn = SpawnTimes();
    for (int i = 0; i < n; ++i) {
        auto f = std::make_unique<Fragment>(1e6f);
        f->start = 0;
        ActiveFragments.push_back(std::move(f));
    }
}

void prepare()
{
    clearShowState();
    setTickSource(&benchTicks);
    setRandomState(SeededRandomState);
    ElectroPoints.assign(ElectroPointCount, Point2{512, 384});
}

// A spectrum in which no band is strong: the common frame.
void quietSpectrum(float* s)
{
    for (int k = 0; k < SpectrumSize; ++k) s[k] = 0.01f;
    s[0] = 1;
}

void BM_Sweep(benchmark::State& state)
{
    prepare();
    fillList(int(state.range(0)));
    for (auto _ : state) drawFragments();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Sweep)->Arg(8)->Arg(16)->Arg(32)->Arg(BusiestList)->Arg(64)->Arg(128);

void BM_SpawnRulesQuiet(benchmark::State& state)
{
    prepare();
    float s[SpectrumSize];
    quietSpectrum(s);
    for (auto _ : state) {
        spawnFromSpectrum(100, s, 1024, 768);
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BM_SpawnRulesQuiet);

void BM_CueScanNoneDue(benchmark::State& state)
{
    prepare();
    buildCueList();
    for (auto _ : state) dispatchCues(1.0f, 2.0f);
}
BENCHMARK(BM_CueScanNoneDue);

// The common frame's logic at the busiest list: cue scan, sweep, spectrum rules.
void BM_QuietFrameAtBusiestList(benchmark::State& state)
{
    prepare();
    fillList(BusiestList);
    buildCueList();
    float s[SpectrumSize];
    quietSpectrum(s);
    for (auto _ : state) {
        dispatchCues(1.0f, 2.0f);
        drawFragments();
        spawnFromSpectrum(1.0f, s, 1024, 768);
    }
}
BENCHMARK(BM_QuietFrameAtBusiestList);

// Each spawn at the busiest list, followed by removing what it added (as a later sweep would).
template <typename Spawn>
void spawnAndRemove(benchmark::State& state, Spawn spawn)
{
    prepare();
    fillList(BusiestList);
    for (auto _ : state) {
        spawn();
        for (size_t i = 0; i < ActiveFragments.size(); ++i)
            if (ActiveFragments[i]->lifetime < 1e6f) {
                ActiveFragments.erase(ActiveFragments.begin() + std::ptrdiff_t(i));
                break;
            }
    }
}
void BM_SpawnGridAtBusiestList(benchmark::State& state) { spawnAndRemove(state, [] { spawnCircleGrid(1024, 768); }); }
void BM_SpawnSparkAtBusiestList(benchmark::State& state) { spawnAndRemove(state, [] { spawnElectro(); }); }
void BM_SpawnStrokeAtBusiestList(benchmark::State& state) { spawnAndRemove(state, [] { spawnBezier(); }); }
BENCHMARK(BM_SpawnGridAtBusiestList);
BENCHMARK(BM_SpawnSparkAtBusiestList);
BENCHMARK(BM_SpawnStrokeAtBusiestList);

// The busiest frame the rules allow: at the busiest list, a cue fires a composition and all three
// kinds spawn. The cue runs after the sweep here, so that none of the new fragments is drawn: the
// figure is logic only.
void BM_BusiestFrameAtBusiestList(benchmark::State& state)
{
    prepare();
    float s[SpectrumSize] = {};
    s[0] = 1, s[GridBand] = 1, s[ElectroBand] = 1, s[BezierBand] = 1;
    for (auto _ : state) {
        state.PauseTiming();
        fillList(BusiestList);
        CueList.assign(1, 0.0f);
        LastSpawn = SpawnTimes();
        state.ResumeTiming();
        drawFragments();
        dispatchCues(100.0f, 2.0f);
        spawnFromSpectrum(100.0f, s, 1024, 768);
    }
}
BENCHMARK(BM_BusiestFrameAtBusiestList);
}  // namespace

BENCHMARK_MAIN();
