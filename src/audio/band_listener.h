// Events in one band of the show's spectrum, heard as the music plays: a hit, a note or an attack
// that lifts the band well above where it just was. Only the last seconds of sound count, so the
// same test runs on a decoded track or on sound as it arrives; every time constant is in seconds of
// music, not frames, and the arithmetic is plain float, so every platform hears the same events in
// the same spectra at the same frame times.
#pragma once

// --- How a band is heard (seconds of music; magnitudes as the spectrum's: 1 for a full-scale sine)
constexpr float ListenSoftness = 100;          // magnitude m counts as 1 + 100 m: faint sounds' rises weigh less
constexpr float ListenReferenceSeconds = 0.02f; // the band is compared with its level over the last 20 ms
constexpr float ListenMinRise = 1.5f;          // an event rises at least 1.5 times over that (soft) level, so
                                               // out of silence it is at least -46 dB loud ...
constexpr float ListenRiseSeconds = 0.5f;      // ... and well over how its rises went in the last half second
constexpr float ListenRateSeconds = 5;         // events a second, counted over about 5 s ...
constexpr float ListenGainSeconds = 90;        // ... below the band's wanted rate, relax the test over 1.5 minutes
constexpr float ListenMinGain = 0.2f;          // ... down to a fifth of its margin at most
constexpr float ListenMaxStep = 0.25f;         // a longer pause between two frames counts as this long

// What differs between the rules' bands.
struct BandListening {
    float margin;            // an event rises above its recent rises' mean by this many of their mean deviations
    float eventsPerSecond;   // fewer than this over the last minute or so relaxes the margin
};

class BandListener {
public:
    explicit BandListener(const BandListening& settings) : s_(settings) {}

    // --- Hearing (once a frame)
    // time: music seconds, never decreasing; magnitude: the band's spectrum entry. True when an event
    // starts in this frame. A frame at the same music time as the one before hears nothing new.
    bool hear(float time, float magnitude);

    // --- State
    float gain() const { return gain_; }   // the share of its margin the test asks now, ListenMinGain..1
    void reset();                          // as new: nothing heard yet

private:
    BandListening s_;
    float reference_ = 0;                  // the band's level over the last ListenReferenceSeconds
    float riseMean_ = 1, riseSpread_ = 0;  // the rise's running mean and mean deviation (1: no rise)
    float rate_ = 0;                       // events a second lately
    float gain_ = 1;
    float lastTime_ = 0;
    bool heard_ = false;                   // a frame came before
    bool armed_ = true;                    // the rise has fallen back below its mean since the last event
};
