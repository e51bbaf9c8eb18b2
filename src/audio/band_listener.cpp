// BandListener. Each running level follows its input with a weight of dt / (T + dt) per frame: close
// to an exponential average over T seconds at any frame rate, without exp(), whose last bit differs
// between C libraries. The rise is a ratio of soft magnitudes, so its test is the same for a quiet
// mix and a loud one, while the softness keeps the flicker of near-silence from counting.
#include "audio/band_listener.h"

namespace {
float weight(float step, float seconds) { return step / (seconds + step); }
float distance(float a, float b) { return a > b ? a - b : b - a; }
}  // namespace

void BandListener::reset()
{
    reference_ = riseSpread_ = rate_ = 0;
    riseMean_ = 1;   // a steady band's rise: before anything is heard, nothing has risen
    gain_ = 1;
    lastTime_ = 0;
    heard_ = false;
    armed_ = true;
}

bool BandListener::hear(float time, float magnitude)
{
    float step = heard_ ? time - lastTime_ : 0.0f;
    if (heard_ && !(step > 0.0f)) return false;
    if (step > ListenMaxStep) step = ListenMaxStep;
    heard_ = true;
    lastTime_ = time;

    // Too few events lately: ask less of the next, slowly, so a sparse passage still speaks.
    if (s_.eventsPerSecond > 0) {
        float shortfall = (rate_ - s_.eventsPerSecond) / s_.eventsPerSecond;
        if (shortfall > 1) shortfall = 1;
        if (shortfall < -1) shortfall = -1;
        gain_ *= 1 + step / ListenGainSeconds * shortfall;
        if (gain_ > 1) gain_ = 1;
        if (gain_ < ListenMinGain) gain_ = ListenMinGain;
    }

    const float rise = (1 + ListenSoftness * magnitude) / (1 + ListenSoftness * reference_);
    const bool event = armed_ && rise > ListenMinRise &&
                       rise > riseMean_ + s_.margin * gain_ * riseSpread_;
    if (event) armed_ = false;
    else if (rise < riseMean_) armed_ = true;

    reference_ += weight(step, ListenReferenceSeconds) * (magnitude - reference_);
    const float w = weight(step, ListenRiseSeconds);
    riseSpread_ += w * (distance(rise, riseMean_) - riseSpread_);
    riseMean_ += w * (rise - riseMean_);
    if (step > 0) rate_ += weight(step, ListenRateSeconds) * ((event ? 1 / step : 0.0f) - rate_);
    return event;
}
