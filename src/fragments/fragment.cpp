// Fragment base and the shared animation rules. Everything is single precision except where a kind
// asks for the wider envelope: the reference flashes evaluated their fade in double.
#include "fragments/fragment.h"

#include <SDL_opengl.h>

#include "utils/video.h"

Fragment::Fragment(float life) : start(demoTime()), lifetime(life) {}

void Fragment::draw(float) {}

float progress(const Fragment& fragment, float time) { return (time - fragment.start) / fragment.lifetime; }

float easeOut(float p) { return p * (2.0f - p); }

float fadeEnvelope(float p, float peak)
{
    if (p < 0.2f) {
        const float q = p / 0.2f - 1.0f;
        return peak * (1.0f + q * q * q);
    }
    return peak * (1.0f - (p - 0.2f) / 0.8f);
}

float fadeEnvelopeWide(float p, float peak)
{
    const double wp = p;
    if (wp < 0.2) {
        const double q = wp / 0.2 - 1.0;
        return float(peak * (1.0 + q * q * q));
    }
    return float(peak * (1.0 - (wp - 0.2) / 0.8));
}

void setFragmentColor(int colorIndex, float alpha)
{
    const Rgb8& c = ColorTable[colorIndex];
    glColor4f(float(c.r) / 255.0f, float(c.g) / 255.0f, float(c.b) / 255.0f, alpha);
}
