// The score: sections, chords, drum and bass patterns, melodies and the cue accents, rendered with the
// instruments of synth.h and mixed. Calm sections keep their notes away from the analysis bins the show
// watches (bands 2, 4 and 6 around 172, 345 and 517 Hz), so its spectrum effects rest there; the full
// sections put the snare body, stabs and lead right on them.
#include "track.h"

#include <algorithm>
#include <cmath>

#include "timeline/cue_times.h"

namespace {

// Cue 53 (index 52) sits on bar 79; the cues around it follow at one bar each.
constexpr int AnchorCue = 52;
constexpr double AnchorBar = 79;
constexpr double BarOrigin = double(CueTimes[AnchorCue]) - AnchorBar * BarSeconds;
constexpr double Step = BarSeconds / 16;   // a sixteenth note

constexpr Section Sections[] = {
    {"intro",      0,      14,     SectionKind::Intro},
    {"build",      14,     18,     SectionKind::Build},
    {"groove",     18,     34,     SectionKind::Groove},
    {"lead",       34,     50,     SectionKind::Lead},
    {"arp",        50,     74,     SectionKind::Arp},
    {"fill",       74,     76,     SectionKind::Fill},
    {"peak",       76,     114,    SectionKind::Peak},
    {"breakdown",  114,    122,    SectionKind::Breakdown},
    {"finale",     122,    134,    SectionKind::Finale},
    {"outro",      134,    142,    SectionKind::Outro},
};
constexpr int SectionCount = 10;
static_assert(sizeof(Sections) / sizeof(Sections[0]) == SectionCount, "every section is listed");

// Chords as pitch classes (0 = C) with the bass note that carries them.
struct Chord {
    int pitchClasses[3];
    int bass;   // MIDI, between Bb1 and Ab2: close to analysis bin 1 so the low end stays compact
};

constexpr Chord Fm  = {{5, 8, 0},  41};
constexpr Chord Db  = {{1, 5, 8},  37};
constexpr Chord Ab  = {{8, 0, 3},  44};
constexpr Chord Eb  = {{3, 7, 10}, 39};
constexpr Chord Cm  = {{0, 3, 7},  36};
constexpr Chord C   = {{0, 4, 7},  36};
constexpr Chord Bbm = {{10, 1, 5}, 34};
constexpr Chord F   = {{5, 9, 0},  41};

// Two bars per chord, four chords per phrase.
struct Progression {
    Chord chords[4];
};
constexpr Progression Main     = {{Fm, Db, Ab, Eb}};
constexpr Progression Lifted   = {{Db, Eb, Cm, Fm}};
constexpr Progression Cadence  = {{Fm, Eb, Db, C}};
constexpr Progression Floating = {{Fm, Db, Bbm, C}};

// A melody note: bar within the phrase, sixteenth within the bar, length in sixteenths, MIDI pitch.
struct MelodyNote {
    int bar, step, length, midi;
};

// The lead's eight-bar phrase over Main, centred on C5 (analysis bin 6): the strokes follow it.
constexpr MelodyNote Theme[] = {
    {0,  0,   4,   72},
    {0,  4,   2,   68},
    {0,  6,   2,   72},
    {0,  8,   4,   75},
    {0,  12,  4,   72},
    {1,  0,   6,   73},
    {1,  6,   2,   72},
    {1,  8,   8,   68},
    {2,  0,   4,   77},
    {2,  4,   2,   75},
    {2,  6,   2,   73},
    {2,  8,   4,   72},
    {2,  12,  4,   68},
    {3,  0,   8,   73},
    {3,  8,   4,   72},
    {3,  12,  4,   70},
    {4,  0,   4,   72},
    {4,  4,   2,   75},
    {4,  6,   2,   80},
    {4,  8,   6,   79},
    {4,  14,  2,   77},
    {5,  0,   8,   75},
    {5,  8,   4,   72},
    {5,  12,  4,   75},
    {6,  0,   6,   70},
    {6,  6,   2,   72},
    {6,  8,   4,   75},
    {6,  12,  4,   79},
    {7,  0,   4,   77},
    {7,  4,   4,   75},
    {7,  8,   8,   72},
};
constexpr int ThemeCount = 31;
static_assert(sizeof(Theme) / sizeof(Theme[0]) == ThemeCount, "every theme note is listed");

// The answer over Cadence: climbs where the theme falls, and lands on the leading tone of C major.
constexpr MelodyNote Answer[] = {
    {0,  0,   2,   68},
    {0,  2,   2,   72},
    {0,  4,   4,   77},
    {0,  8,   2,   75},
    {0,  10,  2,   72},
    {0,  12,  4,   77},
    {1,  0,   4,   80},
    {1,  4,   4,   79},
    {1,  8,   8,   77},
    {2,  0,   2,   70},
    {2,  2,   2,   75},
    {2,  4,   4,   79},
    {2,  8,   4,   77},
    {2,  12,  4,   75},
    {3,  0,   8,   79},
    {3,  8,   8,   75},
    {4,  0,   4,   77},
    {4,  4,   2,   73},
    {4,  6,   2,   77},
    {4,  8,   4,   80},
    {4,  12,  4,   77},
    {5,  0,   8,   73},
    {5,  8,   8,   72},
    {6,  0,   4,   72},
    {6,  4,   4,   76},
    {6,  8,   4,   79},
    {6,  12,  4,   76},
    {7,  0,   8,   72},
    {7,  8,   8,   71},
};
constexpr int AnswerCount = 29;
static_assert(sizeof(Answer) / sizeof(Answer[0]) == AnswerCount, "every answer note is listed");

// Drum patterns: one row per sixteenth of a bar; velocities 0 = silent.
struct DrumStep {
    float kick, snare, hat;
};

constexpr DrumStep TwoStep[16] = {
    {1.0f,  0,     0.55f},
    {0,     0,     0.2f},
    {0,     0,     0.4f},
    {0,     0,     0.2f},
    {0,     1.0f,  0.55f},
    {0,     0,     0.2f},
    {0,     0,     0.4f},
    {0,     0.2f,  0.25f},
    {0,     0,     0.55f},
    {0,     0,     0.2f},
    {0.9f,  0,     0.4f},
    {0,     0,     0.2f},
    {0,     1.0f,  0.55f},
    {0,     0,     0.2f},
    {0,     0.25f, 0.4f},
    {0,     0,     0.3f},
};
constexpr DrumStep Rolling[16] = {
    {1.0f,  0,     0.6f},
    {0,     0,     0.3f},
    {0,     0,     0.45f},
    {0,     0,     0.3f},
    {0,     1.0f,  0.6f},
    {0,     0,     0.3f},
    {0,     0,     0.45f},
    {0.8f,  0,     0.3f},
    {0,     0,     0.6f},
    {0,     0.2f,  0.3f},
    {0.9f,  0,     0.45f},
    {0,     0,     0.3f},
    {0,     1.0f,  0.6f},
    {0,     0,     0.3f},
    {0,     0.3f,  0.45f},
    {0,     0.15f, 0.35f},
};
static_assert(sizeof(TwoStep) / sizeof(TwoStep[0]) == 16 && sizeof(Rolling) / sizeof(Rolling[0]) == 16,
              "a pattern is one bar of sixteenths");

// Bass rhythm over two bars: start sixteenth (0..31), length in sixteenths, octave offset.
struct BassHit {
    int step, length, octave;
};
constexpr BassHit BassGroove[] = {
    {0,   6,  0},
    {7,   2,  0},
    {10,  5,  0},
    {16,  3,  0},
    {19,  2,  0},
    {22,  4,  0},
    {26,  4,  0},
    {30,  2,  0},
};
constexpr int BassGrooveCount = 8;
static_assert(sizeof(BassGroove) / sizeof(BassGroove[0]) == BassGrooveCount, "every bass hit is listed");

struct Buses {
    Bus drums, bass, pad, keys, lead, fx, reverbSend, delaySend;
    explicit Buses(size_t frames)
        : drums(frames), bass(frames), pad(frames), keys(frames), lead(frames), fx(frames), reverbSend(frames),
          delaySend(frames)
    {
    }
};

const Section& sectionAt(double bar)
{
    for (const Section& s : Sections)
        if (bar >= s.startBar && bar < s.endBar) return s;
    return Sections[SectionCount - 1];
}

// phrase: which eight-bar phrase of its section the bar is in.
const Progression& progressionOf(SectionKind kind, int phrase)
{
    switch (kind) {
    case SectionKind::Arp: return Lifted;
    case SectionKind::Peak: return phrase % 2 == 0 ? Cadence : Main;
    case SectionKind::Intro:
    case SectionKind::Build:
    case SectionKind::Breakdown: return Floating;
    default: return Main;
    }
}

const Chord& chordAt(double bar)
{
    const Section& s = sectionAt(bar);
    if (s.kind == SectionKind::Outro) return F;
    const int inSection = int(std::floor(bar - s.startBar));
    return progressionOf(s.kind, inSection / 8).chords[(inSection / 2) % 4];
}

bool calm(SectionKind k) { return k == SectionKind::Intro || k == SectionKind::Breakdown || k == SectionKind::Outro; }

// Every note of the chord's pitch classes between lo and hi (MIDI, inclusive).
std::vector<int> voice(const Chord& c, int lo, int hi)
{
    std::vector<int> notes;
    for (int m = lo; m <= hi; ++m)
        for (int pc : c.pitchClasses)
            if (m % 12 == pc) notes.push_back(m);
    return notes;
}

// Distance in analysis bins from a note to the nearest of the watched bins 2, 4 and 6.
double distanceToWatchedBin(int midi)
{
    const double bin = noteHz(midi) / BinHz;
    return std::min({std::fabs(bin - 2), std::fabs(bin - 4), std::fabs(bin - 6)});
}

// Sustained chords leave out the notes that sit on or next to a watched bin: held notes would keep a
// rule firing for seconds, and the rules are meant to follow hits.
std::vector<int> clearOfWatchedBins(std::vector<int> notes)
{
    notes.erase(std::remove_if(notes.begin(), notes.end(), [](int m) { return distanceToWatchedBin(m) < 0.7; }),
                notes.end());
    return notes;
}

// Calm voicings stay above E5 (about 660 Hz), clear of the three watched bins and their skirts.
constexpr int CalmLow = 77, CalmHigh = 89;
// Full-section pads sit around middle C; stabs put their top on C5, analysis bin 6.
constexpr int PadLow = 60, PadHigh = 75;
constexpr int StabLow = 65, StabHigh = 72;

double stepTime(int bar, int step) { return barTime(bar) + step * Step; }

void drumBar(Buses& b, int bar, const DrumStep (&pattern)[16], std::vector<double>& kicks, int lastStep = 16)
{
    for (int s = 0; s < lastStep; ++s) {
        const double t = stepTime(bar, s);
        const DrumStep& d = pattern[s];
        if (d.kick > 0) {
            kick(b.drums, t, d.kick);
            kicks.push_back(t);
        }
        if (d.snare > 0) {
            snare(b.drums, t, d.snare * 0.9f);
            if (d.snare > 0.5f) snare(b.reverbSend, t, 0.25f);
        }
        if (d.hat > 0) hat(b.drums, t, d.hat * 0.55f, s == 14 && bar % 2 == 1, 0.25f);
    }
}

// A sixteenth-note snare run up to the bar line, rising in strength: the turn into the next phrase.
void snareFill(Buses& b, int bar, int fromStep)
{
    for (int s = fromStep; s < 16; ++s) snare(b.drums, stepTime(bar, s), 0.45f + 0.5f * float(s - fromStep) / float(16 - fromStep));
}

// pedal: stay on F2, analysis bin 1, whatever the chord; otherwise follow the chord's bass note.
void bassBars(Buses& b, int bar, const Chord& chord, float velocity, bool pedal)
{
    // The groove pattern spans two bars; odd bars play its second half.
    const int half = (bar % 2) * 16;
    for (const BassHit& h : BassGroove) {
        if (h.step < half || h.step >= half + 16) continue;
        const double t = stepTime(bar, h.step - half);
        bassNote(b.bass, t, h.length * Step * 0.92, (pedal ? 41 : chord.bass) + 12 * h.octave, velocity);
    }
}

void melody(Buses& b, int phraseStartBar, const MelodyNote* notes, int count, int transpose, float velocity)
{
    for (int i = 0; i < count; ++i) {
        const MelodyNote& n = notes[i];
        const double t = stepTime(phraseStartBar + n.bar, n.step);
        leadNote(b.lead, t, n.length * Step * 0.9, n.midi + transpose, velocity);
        leadNote(b.delaySend, t, n.length * Step * 0.9, n.midi + transpose, velocity * 0.5f);
    }
}

void arpeggio(Buses& b, int bar, const Chord& chord, float velocity)
{
    const std::vector<int> notes = voice(chord, 72, 86);
    constexpr int Order[16] = {0, 1, 2, 1, 3, 2, 1, 2, 0, 2, 3, 4, 3, 2, 1, 2};
    for (int s = 0; s < 16; ++s) {
        const int n = notes[size_t(Order[s]) % notes.size()];
        const float accent = s % 4 == 0 ? 1.0f : 0.65f;
        pluck(b.keys, stepTime(bar, s), n, velocity * accent, s % 2 ? 0.35f : -0.35f);
        pluck(b.reverbSend, stepTime(bar, s), n, velocity * accent * 0.4f, 0);
    }
}

void calmBells(Buses& b, int bar, const Chord& chord, float velocity)
{
    const std::vector<int> notes = voice(chord, 77, 91);
    constexpr int Steps[3] = {0, 6, 10};
    for (int i = 0; i < 3; ++i) {
        const int n = notes[size_t((bar * 3 + i * 2) % int(notes.size()))];
        const float pan = (i - 1) * 0.5f;
        bell(b.keys, stepTime(bar, Steps[i]), n, velocity * (i == 0 ? 1.0f : 0.7f), pan);
        bell(b.reverbSend, stepTime(bar, Steps[i]), n, velocity * 0.6f, pan);
    }
}

void pads(Buses& b, int bar, const Section& s)
{
    if (bar % 2 != 0 && bar != int(s.startBar)) return;
    const Chord& chord = chordAt(bar);
    const double length = 2 * BarSeconds;
    if (calm(s.kind) || s.kind == SectionKind::Build) {
        const float bright = s.kind == SectionKind::Build ? 0.35f + 0.1f * float(bar - 14) : 0.22f;
        padChord(b.pad, barTime(bar), length, voice(chord, CalmLow, CalmHigh), 0.5f, bright);
    } else {
        padChord(b.pad, barTime(bar), length, clearOfWatchedBins(voice(chord, PadLow, PadHigh)), 0.42f, 0.3f);
    }
}

// previousGap: seconds since the cue before (large for the first).
void accentCue(Buses& b, double t, int index, double previousGap)
{
    const double bar = (t - BarOrigin) / BarSeconds;
    const Section& s = sectionAt(bar);
    const Chord& chord = chordAt(bar);
    const float pan = index % 2 ? 0.4f : -0.4f;
    if (calm(s.kind)) {
        // Calm sections answer a cue with high bells only.
        const std::vector<int> notes = voice(chord, 84, 93);
        for (size_t i = 0; i < notes.size() && i < 3; ++i) {
            bell(b.keys, t + 0.02 * double(i), notes[i], 0.9f, pan * float(i));
            bell(b.reverbSend, t, notes[i], 0.5f, 0);
        }
        return;
    }
    // A crash still ringing from the cue before would hide another: close followers get a chirp instead.
    if (previousGap >= 0.5) crash(b.drums, t, 0.85f, pan);
    else zap(b.keys, t, 0.8f, -pan);
    bell(b.keys, t, 96 + (index % 3) * 3, 0.5f, -pan);
    stab(b.keys, t, voice(chord, StabLow, StabHigh), 1.0f);
    stab(b.reverbSend, t, voice(chord, StabLow, StabHigh), 0.5f);
}

// Sets the loudness: the limiter then only shaves the tallest hits.
constexpr float MasterGain = 0.45f;

void scaleBus(Bus& b, float gain)
{
    for (size_t i = 0; i < b.frames(); ++i) b.l[i] *= gain, b.r[i] *= gain;
}

}  // namespace

double barTime(double bar) { return BarOrigin + bar * BarSeconds; }

const std::vector<Section>& trackSections()
{
    static const std::vector<Section> all(Sections, Sections + SectionCount);
    return all;
}

Bus renderTrack()
{
    const size_t frames = size_t(std::llround(TrackSeconds * SampleRate));
    Buses b(frames);
    std::vector<double> kicks;
    const double firstCue = CueTimes[0];
    const double lastCue = CueTimes[CueCount - 1];

    // The F2 drone opens the track alone, so the chord above it never leads the spectrum's peak.
    drone(b.bass, 0.0, firstCue, 41, 0.32f, 0.6, 0.05);
    padChord(b.pad, barTime(0), 2 * BarSeconds, voice(Floating.chords[0], CalmLow, CalmHigh), 0.5f, 0.2f);

    for (int bar = 0; bar < 142; ++bar) {
        const Section& s = sectionAt(bar);
        const Chord& chord = chordAt(bar);
        const int inSection = bar - int(s.startBar);
        if (bar >= 2) pads(b, bar, s);
        switch (s.kind) {
        case SectionKind::Intro:
            if (bar >= 4) calmBells(b, bar, chord, 0.3f + 0.02f * float(bar - 4));
            if (bar >= 10)
                for (int st : {2, 6, 10, 14}) hat(b.drums, stepTime(bar, st), 0.12f, false, 0.3f);
            break;
        case SectionKind::Build: {
            // The run-up to the first cue: quarter, then eighth, then sixteenth snares over a riser.
            const int every = bar < 16 ? 4 : bar < 17 ? 2 : 1;
            for (int st = 0; st < 16; st += every) {
                const double t = stepTime(bar, st);
                if (t >= firstCue - 0.01) break;
                snare(b.drums, t, 0.3f + 0.15f * float(inSection) + 0.02f * float(st));
                if (bar >= 16 && st % 4 == 0) {
                    kick(b.drums, t, 0.8f);
                    kicks.push_back(t);
                }
            }
            if (bar < 16) calmBells(b, bar, chord, 0.4f);
            break;
        }
        case SectionKind::Groove:
        case SectionKind::Lead:
        case SectionKind::Finale: {
            const int last = (s.kind == SectionKind::Finale && bar == 133) ? 15 : 16;
            drumBar(b, bar, s.kind == SectionKind::Groove ? TwoStep : Rolling, kicks, last);
            if (inSection % 8 == 7 && last == 16) snareFill(b, bar, 12);
            bassBars(b, bar, chord, 0.5f, true);
            if (bar % 2 == 1) {
                stab(b.keys, stepTime(bar, 14), voice(chord, StabLow, StabHigh), 0.35f);
                stab(b.reverbSend, stepTime(bar, 14), voice(chord, StabLow, StabHigh), 0.25f);
            }
            if (s.kind != SectionKind::Groove && inSection % 8 == 0 && bar + 8 <= int(s.endBar))
                melody(b, bar, Theme, ThemeCount, 0, 0.5f);
            break;
        }
        case SectionKind::Arp:
            drumBar(b, bar, Rolling, kicks);
            if (inSection % 8 == 7) snareFill(b, bar, 8);
            bassBars(b, bar, chord, 0.5f, false);
            arpeggio(b, bar, chord, 0.22f + 0.01f * float(inSection % 8));
            break;
        case SectionKind::Fill:
            if (bar == 74) {
                drumBar(b, bar, TwoStep, kicks, 8);
                bassBars(b, bar, chord, 0.45f, true);
            } else {
                snareFill(b, bar, 0);
            }
            break;
        case SectionKind::Peak:
            drumBar(b, bar, Rolling, kicks);
            if (inSection % 8 == 7) snareFill(b, bar, 12);
            bassBars(b, bar, chord, 0.52f, false);
            if (bar % 4 == 0) for (int st : {0, 4, 8, 12}) hat(b.drums, stepTime(bar, st), 0.3f, true, -0.3f);
            // The answer goes with the cadence phrases, the theme with the main ones.
            if (inSection % 8 == 0 && bar + 8 <= int(s.endBar))
                melody(b, bar, inSection % 16 == 0 ? Answer : Theme, inSection % 16 == 0 ? AnswerCount : ThemeCount, 0, 0.5f);
            if (inSection >= 16) arpeggio(b, bar, chord, 0.15f);
            break;
        case SectionKind::Breakdown:
            calmBells(b, bar, chord, 0.35f);
            if (bar >= 120) {
                for (int st = 0; st < 16; st += bar == 120 ? 4 : 2) snare(b.drums, stepTime(bar, st), 0.3f + 0.03f * float(st));
            }
            break;
        case SectionKind::Outro:
            if (bar % 2 == 0 && bar < 140) calmBells(b, bar, chord, 0.3f - 0.03f * float(inSection));
            break;
        }
    }

    // Risers and the big moments around them.
    riser(b.fx, barTime(14), firstCue, 0.5f);
    riser(b.fx, barTime(75), barTime(76), 0.35f);
    riser(b.fx, barTime(120), barTime(122), 0.45f);
    impact(b.fx, firstCue, 0.9f);
    reverseCrash(b.fx, barTime(18), barTime(18) - firstCue, 0.8f);
    crash(b.drums, barTime(18), 0.9f, 0);
    crash(b.drums, barTime(122), 0.9f, 0);
    impact(b.fx, barTime(122), 0.6f);
    drone(b.bass, barTime(114), barTime(122), 41, 0.3f, BarSeconds, 0.2);
    drone(b.bass, lastCue, barTime(141), 41, 0.3f, 0.3, 4 * BarSeconds);
    padChord(b.pad, lastCue, 6 * BarSeconds, voice(F, CalmLow, CalmHigh), 0.55f, 0.25f);

    // Every cue of the show gets its own accent; simultaneous cues share one.
    double previous = -100;
    for (int i = 0; i < CueCount; ++i) {
        const double t = CueTimes[i];
        const double gap = t - previous;
        if (gap < 0.001) continue;
        previous = t;
        if (i == 0) {
            crash(b.drums, t, 1.0f, 0);
            stab(b.keys, t, voice(Fm, StabLow, StabHigh), 0.9f);
            continue;
        }
        accentCue(b, t, i, gap);
    }
    impact(b.fx, lastCue, 1.0f);

    // Mix: the pad breathes with the kick, reverb and echoes glue the keys and lead.
    duck(b.pad, kicks, 0.45f, 0.16);
    duck(b.keys, kicks, 0.25f, 0.12);
    Bus mix(frames);
    b.drums.mixInto(mix, 0.85f);
    b.bass.mixInto(mix, 0.6f);
    b.pad.mixInto(mix, 0.45f);
    b.keys.mixInto(mix, 0.5f);
    b.lead.mixInto(mix, 0.4f);
    b.fx.mixInto(mix, 0.5f);
    reverb(b.reverbSend, mix, 0.86f, 0.3f, 0.9f);
    pingPongDelay(b.delaySend, mix, 3 * Step, 0.4f, 0.35f);
    fade(mix, SilenceFrom - 3.0, SilenceFrom, false);
    scaleBus(mix, MasterGain);
    // MP3 encoding overshoots the PCM by up to about 2 dB on this material: the ceiling leaves room for it.
    limit(mix, 0.6f, 0.12);
    return mix;
}
