// Spectrum-driven spawning: three low bands of the music spectrum, measured against the loudest of
// the first 128 (on a listener's track: events heard in each band), spawn circle grids, electro
// sparks and Bezier strokes, each kind rate-limited on the wall clock. No GL here: the new fragments
// are first drawn by the next frame's sweep.
#pragma once
#include <iterator>
#include <memory>

#include "audio/band_listener.h"
#include "fragments/circle_grid_frag.h"

// --- The three rules (all comparisons strict)
constexpr int PeakBandCount = 128;        // spectrum entries 0..127 set the peak

constexpr int GridBand = 2;               // spectrum entry
constexpr double GridStrength = 89;       // of 256
constexpr double GridAfterMusic = 18;     // music seconds
constexpr float GridGap = 1.0f;           // wall-clock seconds since the last grid
constexpr float GridLifetime = 2.0f;      // seconds

constexpr int ElectroBand = 4;
constexpr double ElectroStrength = 22;
constexpr float ElectroGap = 0.1f;        // the gap is formed in single precision, like the clock
constexpr float ElectroLifetime = 2.0f;

constexpr int BezierBand = 6;
constexpr double BezierStrength = 50;
constexpr double BezierAfterMusic = 25.8; // the float nearest 25.8 lies below it and does not pass
constexpr float BezierGap = 0.5f;
constexpr float BezierLifetime = 5.4f;

constexpr int GridPlaces = 10;            // a 10 x 10 walk of places 60 pixels apart
constexpr int GridSpacing = 60;           // pixels

// What opens the rules. The gates: music seconds after which the grid and stroke rules may spawn,
// the built-in track's 18 s and 25.8 s unless start-up sets a listener's track's own. listening: a
// listener's track, where each rule answers events in its own band (audio/band_listener.h) instead of
// the band's strength against the peak, which only the built-in track was composed for.
struct SpawnGates {
    double grid = GridAfterMusic;
    double bezier = BezierAfterMusic;
    bool listening = false;
};
extern SpawnGates& Gates;      // the current show's (timeline/show_state.h)

// demoTime() seconds of the latest spawn of each kind; all 0 at start-up.
struct SpawnTimes {
    float grid = 0;
    float electro = 0;
    float bezier = 0;
};
extern SpawnTimes& LastSpawn;  // the current show's

// --- A listener's track: how each rule hears its band
// The margins and wanted rates were measured on real music (bench/README.md, "Listening"): the grid,
// with its 1 s limit, answers only clear events; the sparks answer most.
struct RuleListening {
    int band;
    BandListening hearing;
};
constexpr RuleListening ListeningRules[] = {
    {GridBand, {6, 0.5f}},
    {ElectroBand, {4, 1.4f}},
    {BezierBand, {5, 0.8f}},
};
static_assert(std::size(ListeningRules) == 3, "grid, spark and stroke, in the rules' order");

// What each band has heard so far on a listener's track; new with every show.
struct SpawnListeners {
    BandListener grid{ListeningRules[0].hearing};
    BandListener electro{ListeningRules[1].hearing};
    BandListener bezier{ListeningRules[2].hearing};
};
extern SpawnListeners& Listeners;   // the current show's

// --- Band strengths
float spectrumPeak(const float* spectrum);                          // largest of 0 and entries 0..127
double bandStrength(const float* spectrum, int band, float peak);   // entry / peak x 256 in double: 0..256, NaN at peak 0

// --- Per frame
void spawnFromSpectrum(float time, const float* spectrum, int width, int height);  // music seconds; 256 entries; window pixels

// --- The three spawns (each draws in its fixed order, then hands the fragment to ActiveFragments)
void spawnCircleGrid(int width, int height);  // offX, offY, one discarded random01, then per place 1 draw (+8 when filled), then its position
void spawnElectro();                          // seven draws, then its position
void spawnBezier();                           // curve, colour; at the front of the list, no position draw
void placeCircleGrid(std::unique_ptr<CircleGridFrag> grid);  // the hand-over: adds it (even with no cells) and stamps LastSpawn.grid
