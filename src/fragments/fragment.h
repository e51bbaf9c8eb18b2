// The base of every effect and the rules the four kinds share: progress, the two easings and the
// colour table. Times are demoTime() seconds (the wall clock), never the music position.
#pragma once
#include <cstdint>

struct Point2 {
    float x, y;
};

class Fragment {
public:
    explicit Fragment(float lifetime);  // start = demoTime() now; draws no random number
    virtual ~Fragment() = default;

    virtual void draw(float time);  // time in [start, start + lifetime]; the base draws nothing

    float start;      // seconds, demoTime() at construction
    float lifetime;   // seconds
};

// --- Shared animation rules (p: progress, 0..1 while the fragment lives)
float progress(const Fragment& fragment, float time);  // (time - start) / lifetime, single precision
float easeOut(float p);                                 // p(2 - p): 0 at 0, 1 at 1, flat at the end
float fadeEnvelope(float p, float peak);                // 0 at p = 0, cubic rise to peak at 0.2, linear fall to 0 at 1
float fadeEnvelopeWide(float p, float peak);            // the same, with the test and divisions in double

// --- Colours (bytes 0..255; entries 0-4 cool, 5-9 warm)
struct Rgb8 {
    uint8_t r, g, b;
};

constexpr int ColorCount = 10;
constexpr int WarmColorBase = 5;  // TexFrag colours are WarmColorBase + colorIndex

constexpr Rgb8 ColorTable[] = {
    //  red  green  blue
    { 180,  225,  162},  // 0 cool
    { 114,  187,  163},  // 1
    {  65,  130,  131},  // 2
    {  42,   74,   83},  // 3
    {  32,   29,   45},  // 4
    {  61,   15,   40},  // 5 warm
    {  87,   19,   37},  // 6
    { 144,    0,   31},  // 7
    { 176,   62,   25},  // 8
    { 204,  136,   58},  // 9
};
static_assert(sizeof(ColorTable) / sizeof(ColorTable[0]) == ColorCount, "ten colours");

// --- Drawing helpers (GL context required)
void setFragmentColor(int colorIndex, float alpha);  // current colour = ColorTable[colorIndex] / 255, alpha 0..1
