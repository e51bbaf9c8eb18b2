// Events heard in a band, on tracks made here and analysed frame by frame as the show analyses them,
// at the live show's slowest, a capture's and a fast screen's frame rates: a band that stays up is one
// event, hits are heard on the hits, silence is nothing, and a sparse track slowly asks less.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <vector>

#include "audio/analyser.h"
#include "audio/band_listener.h"
#include "audio/track_decoder.h"

namespace {
constexpr int Rate = MusicSampleRate;
constexpr int Band = 4;                           // 345 Hz
constexpr double BandHz = Band * 44100.0 / 512;
constexpr BandListening Sparks{4, 1.4f};          // the spark rule's settings

// Channel 0 of a made track.
struct MadeTrack {
    std::vector<float> samples;
    explicit MadeTrack(double seconds) : samples(size_t(seconds * Rate), 0.0f) {}
    void tone(double hz, double amplitude, double from, double to)
    {
        for (size_t i = size_t(from * Rate); i < size_t(to * Rate) && i < samples.size(); ++i)
            samples[i] += float(amplitude * std::sin(2 * M_PI * hz * double(i) / Rate));
    }
    // A struck note: 5 ms attack, then an 80 ms decay.
    void hit(double hz, double amplitude, double at)
    {
        for (size_t i = 0; i < size_t(0.4 * Rate) && size_t(at * Rate) + i < samples.size(); ++i) {
            const double t = double(i) / Rate;
            const double envelope = t < 0.005 ? t / 0.005 : std::exp(-(t - 0.005) / 0.08);
            samples[size_t(at * Rate) + i] += float(amplitude * envelope * std::sin(2 * M_PI * hz * t));
        }
    }
    void noise(double amplitude)
    {
        std::mt19937 g(7);
        std::uniform_real_distribution<float> d(-float(amplitude), float(amplitude));
        for (float& s : samples) s += d(g);
    }
};

// The music times (seconds) of the frames in which the band heard an event.
std::vector<double> heard(const MadeTrack& track, int fps, BandListener& listener)
{
    SpectrumAnalyser analyser;
    std::vector<double> events;
    float spectrum[AnalysisBins];
    auto read = [&](uint64_t first, size_t count, float* out) {
        std::copy(track.samples.begin() + long(first), track.samples.begin() + long(first + count), out);
        return true;
    };
    for (long frame = 0;; ++frame) {
        const uint32_t ms = uint32_t(frame * 1000 / fps);   // as the scripted host's clock
        if (msToFrames(ms) >= track.samples.size()) break;
        analyseAtFrame(analyser, msToFrames(ms), track.samples.size(), read, spectrum);
        if (listener.hear(float(ms) / 1000.0f, spectrum[Band])) events.push_back(ms / 1000.0);
    }
    return events;
}

std::vector<double> every(double from, double to, double step)
{
    std::vector<double> t;
    for (double x = from; x < to; x += step) t.push_back(x);
    return t;
}
}  // namespace

TEST(BandListener, HearsHitsNotABandThatStaysUpNorSilence)
{
    const std::vector<double> hits = every(2.0, 20.0, 0.5);
    std::vector<double> startAndHits = hits;   // the band's own tone starting at 0 is an event too
    startAndHits.insert(startAndHits.begin(), 0.0);
    struct Case {
        const char* name;
        std::function<void(MadeTrack&)> make;
        std::vector<double> want;   // the events' moments: each heard within a frame and 15 ms after it, nothing else
    } cases[] = {
        {"silence", [](MadeTrack&) {}, {}},
        {"a band that stays up from 2 s", [](MadeTrack& m) { m.tone(BandHz, 0.3, 2.0, 20.0), m.noise(0.002); }, {2.0}},
        {"hits in the band over a bed in another", [&](MadeTrack& m) {
             m.tone(172, 0.2, 0, 20), m.noise(0.002);
             for (double h : hits) m.hit(BandHz, 0.3, h);
         }, hits},
        {"hits over the band's own steady tone", [&](MadeTrack& m) {
             m.tone(BandHz, 0.05, 0, 20), m.noise(0.002);
             for (double h : hits) m.hit(BandHz, 0.3, h);
         }, startAndHits},
        {"hits in another band", [&](MadeTrack& m) {
             m.tone(BandHz, 0.05, 0, 20), m.noise(0.002);
             for (double h : hits) m.hit(1033, 0.3, h);
         }, {0.0}},
    };
    for (const Case& c : cases) {
        MadeTrack track(20.0);
        c.make(track);
        for (int fps : {24, 60, 144}) {
            SCOPED_TRACE(testing::Message() << c.name << " at " << fps << " frames/s");
            BandListener listener(Sparks);
            const std::vector<double> events = heard(track, fps, listener);
            EXPECT_EQ(events.size(), c.want.size()) << testing::PrintToString(events);
            if (events.size() != c.want.size()) continue;
            for (size_t i = 0; i < events.size(); ++i) {
                EXPECT_GE(events[i], c.want[i] - 0.0005);
                EXPECT_LE(events[i], c.want[i] + 1.0 / fps + 0.015);
            }
        }
    }
}

TEST(BandListener, ASparseTrackSlowlyAsksLessAndABusyOneDoesNot)
{
    MadeTrack sparse(120.0), busy(120.0);
    for (double h : every(1.0, 120.0, 5.0)) sparse.hit(BandHz, 0.3, h);   // 0.2 a second against 1.4 wanted
    for (double h : every(1.0, 120.0, 0.25)) busy.hit(BandHz, 0.3, h);    // 4 a second
    BandListener slow(Sparks), quick(Sparks);
    heard(sparse, 60, slow);
    heard(busy, 60, quick);
    EXPECT_LT(slow.gain(), 0.5f);
    EXPECT_GE(slow.gain(), ListenMinGain);
    EXPECT_EQ(quick.gain(), 1.0f);
}

TEST(BandListener, AFrameAtTheSameMusicTimeHearsNothingNew)
{
    BandListener listener(Sparks);
    EXPECT_FALSE(listener.hear(1.0f, 0.0f));
    EXPECT_TRUE(listener.hear(1.02f, 0.3f));
    listener.reset();
    EXPECT_FALSE(listener.hear(1.0f, 0.0f));
    EXPECT_FALSE(listener.hear(1.0f, 0.3f));   // a live frame before the position moved on
    EXPECT_TRUE(listener.hear(1.02f, 0.3f));
}
