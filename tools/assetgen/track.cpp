// The score: sections, chords, drum and bass patterns, melodies and the cue accents, rendered with the
// instruments of synth.h and mixed. Each kind of spectrum effect has its own musical event on the band
// it watches: the snare body on band 2 (F3, circle grids), a short F4 ping on band 4 (sparks) and the
// lead and stabs on band 6 (C5, strokes). Sustained parts keep off those bands, so an effect answers a
// hit instead of a band that stays up, and the sections decide how often each event comes.
#include "track.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

#include "timeline/cue_times.h"

namespace {

// Cue 53 (index 52) sits on bar 79; the cues around it follow at one bar each.
constexpr int AnchorCue = 52;
constexpr double AnchorBar = 79;
constexpr double BarOrigin = double(CueTimes[AnchorCue]) - AnchorBar * BarSeconds;
constexpr double Step = BarSeconds / 16;   // a sixteenth note

using K = SectionKind;
using B = Beat;
using L = BassLine;
// Sections turn where the cue list changes pace: the drop lands on the first cue, heavy to hear and
// sparse to see; a lighter groove ends the cues' first gap and a break the first dense run; the arp
// rides a steppers beat under the long dense run; a filtered run-in to the peak carries the one-bar
// grid of cues; the breakdown fills the last gap and lifts into the finale on its cue. Inside the long
// sections the level steps up by about 4 dB (arp at bar 63, peak at bar 95), and each layer enters
// with its section rather than inside it, so a change is heard where the cue list changes.
constexpr Section Sections[] = {
    //  name          from     to       kind          beat         bass        lead   arp    sparks open           level dB
    {"intro",        0,       8,       K::Intro,     B::None,     L::None,    "",    false, 1,     0.15f, 0.3f,  0,     0},
    {"rise",         8,       14,      K::Intro,     B::Hats,     L::Pulse,   "",    false, 1,     0.3f,  0.5f,  0,     0},
    {"build",        14,      17.56,   K::Build,     B::Roll,     L::Pulse,   "",    false, 1,     0.5f,  0.9f,  -1,    1},
    {"drop",         17.56,   29,      K::HalfTime,  B::HalfTime, L::Reese,   "CC",  false, 0,     0.8f,  0.8f,  1.5f,  1.5f},
    {"groove",       29,      44,      K::Groove,    B::TwoStep,  L::Sub,     "",    false, 2,     0.5f,  0.7f,  -6,    -5},
    {"break",        44,      47,      K::Break,     B::Hats,     L::None,    "",    true,  1,     0.25f, 0.6f,  -9,    -7},
    {"arp",          47,      63,      K::Arp,       B::Steppers, L::Wobble,  "T",   true,  2,     0.3f,  0.8f,  -4,    -3},
    {"arp",          63,      73,      K::Arp,       B::Steppers, L::Wobble,  "A",   true,  2,     1.0f,  1.0f,  0.5f,  1},
    {"bridge",       73,      76,      K::Bridge,    B::None,     L::None,    "",    false, 0,     0.3f,  0.6f,  0,     0},
    {"peak in",      76,      87,      K::Peak,      B::Rolling,  L::Reese,   "",    false, 1,     0.25f, 0.45f, -8,    -7},
    {"peak",         87,      95,      K::Peak,      B::Rolling,  L::Reese,   "A",   true,  2,     0.5f,  0.8f,  -3,    -2.5f},
    {"peak",         95,      116.45,  K::Peak,      B::Rolling,  L::Reese,   "TA",  true,  2,     1.0f,  1.0f,  1,     1.5f},
    {"breakdown",    116.45,  123.41,  K::Breakdown, B::None,     L::None,    "",    false, 0,     0.2f,  0.5f,  0,     0},
    {"finale",       123.41,  134,     K::Finale,    B::Rolling,  L::Reese,   "A",   true,  2,     1.0f,  1.0f,  1.5f,  1.5f},
    {"outro",        134,     142,     K::Outro,     B::None,     L::None,    "",    false, 0,     0.3f,  0.1f,  0,     -4},
};
constexpr int SectionCount = 15;
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

// The call over Main in the half-time drop: a few high notes, the C5 among them (analysis bin 6)
// short, so each brings one stroke; the long notes above it keep out of the watched bins.
constexpr MelodyNote Call[] = {
    {0,  0,   5,   72},
    {0,  8,   4,   75},
    {0,  12,  4,   77},
    {1,  0,   12,  80},
    {2,  0,   5,   72},
    {2,  8,   8,   79},
    {3,  0,   16,  77},
    {4,  0,   5,   72},
    {4,  8,   4,   75},
    {4,  12,  4,   80},
    {5,  0,   8,   82},
    {5,  8,   8,   80},
    {6,  0,   5,   72},
    {6,  8,   8,   75},
    {7,  0,   16,  77},
};
constexpr int CallCount = 15;
static_assert(sizeof(Call) / sizeof(Call[0]) == CallCount, "every call note is listed");

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
// Half time: one kick and one snare a bar, so one spark and one circle grid a bar.
constexpr DrumStep HalfTime[16] = {
    {1.0f,  0,     0.5f},
    {0,     0,     0},
    {0,     0,     0.3f},
    {0,     0,     0},
    {0,     0,     0.5f},
    {0,     0,     0},
    {0,     0,     0.3f},
    {0,     0,     0.15f},
    {0,     1.0f,  0.5f},
    {0,     0,     0},
    {0,     0,     0.3f},
    {0,     0,     0},
    {0,     0,     0.5f},
    {0,     0,     0},
    {0,     0.2f,  0.3f},
    {0,     0,     0.15f},
};
// A broken, stepping beat under the run of one-bar cues: kicks pushed off the beat.
constexpr DrumStep Steppers[16] = {
    {1.0f,  0,     0.5f},
    {0,     0,     0.2f},
    {0,     0,     0.45f},
    {0.7f,  0,     0.2f},
    {0,     1.0f,  0.5f},
    {0,     0,     0.2f},
    {0.8f,  0,     0.45f},
    {0,     0,     0.2f},
    {0,     0,     0.5f},
    {0,     0.25f, 0.2f},
    {0.9f,  0,     0.45f},
    {0,     0,     0.2f},
    {0,     1.0f,  0.5f},
    {0,     0,     0.2f},
    {0,     0,     0.45f},
    {0,     0.3f,  0.3f},
};
static_assert(sizeof(TwoStep) / sizeof(TwoStep[0]) == 16 && sizeof(Rolling) / sizeof(Rolling[0]) == 16 &&
                  sizeof(HalfTime) / sizeof(HalfTime[0]) == 16 && sizeof(Steppers) / sizeof(Steppers[0]) == 16,
              "a pattern is one bar of sixteenths");

// The spark motif: F4 pings (analysis bin 4) over two bars of sixteenths, each far enough from the
// next (three sixteenths, 0.24 s) that every ping gets its own spark rather than one held by the
// rate limit; the high notes around them keep clear of the watched bins.
struct Ping {
    int step, midi;
    float velocity;
};
constexpr Ping SparseMotif[] = {
    {0,   65,  1.0f},
    {6,   84,  0.5f},
    {10,  80,  0.45f},
    {16,  65,  0.9f},
    {22,  87,  0.5f},
    {27,  84,  0.4f},
};
constexpr Ping RiffMotif[] = {
    {0,   65,  1.0f},
    {3,   65,  0.7f},
    {6,   65,  0.85f},
    {8,   84,  0.5f},
    {11,  65,  0.8f},
    {14,  65,  0.7f},
    {16,  65,  1.0f},
    {19,  65,  0.7f},
    {22,  80,  0.5f},
    {24,  65,  0.85f},
    {27,  65,  0.75f},
    {30,  84,  0.5f},
};
static_assert(sizeof(SparseMotif) / sizeof(SparseMotif[0]) == 6 && sizeof(RiffMotif) / sizeof(RiffMotif[0]) == 12,
              "every ping is listed");

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

// The reese's rhythm over two bars: long notes that leave the kick room on the off-beats.
constexpr BassHit ReeseGroove[] = {
    {0,   9,  0},
    {10,  5,  0},
    {16,  7,  0},
    {24,  3,  0},
    {27,  4,  0},
};
constexpr int ReeseGrooveCount = 5;
static_assert(sizeof(ReeseGroove) / sizeof(ReeseGroove[0]) == ReeseGrooveCount, "every reese hit is listed");

struct Buses {
    Bus drums, bass, pad, keys, lead, fx, reverbSend, delaySend;
    explicit Buses(size_t frames)
        : drums(frames), bass(frames), pad(frames), keys(frames), lead(frames), fx(frames), reverbSend(frames),
          delaySend(frames)
    {
    }
};

// bar may fall between bar lines: some sections start on a cue.
const Section& sectionAt(double bar)
{
    for (const Section& s : Sections)
        if (bar >= s.startBar && bar < s.endBar) return s;
    return Sections[SectionCount - 1];
}

double sectionEndTime(const Section& s) { return barTime(s.endBar); }

// Chords change every two bars and phrases every eight, counted from the bar a section starts in, so
// the pads, the arp and the melodies agree on the chord.
int sectionOrigin(const Section& s) { return int(std::floor(s.startBar)); }
int phraseOf(const Section& s, int bar) { return (bar - sectionOrigin(s)) / 8; }

char leadOf(const Section& s, int phrase)
{
    const int count = int(std::strlen(s.lead));
    return phrase < count ? s.lead[phrase] : '-';
}

// The lead decides the harmony under it: the theme is written over Main, the answer over Cadence.
const Progression& progressionAt(const Section& s, int bar)
{
    switch (leadOf(s, phraseOf(s, bar))) {
    case 'T':
    case 'C': return Main;
    case 'A': return Cadence;
    default: break;
    }
    switch (s.kind) {
    case SectionKind::Arp: return Lifted;
    case SectionKind::Intro:
    case SectionKind::Build:
    case SectionKind::Break:
    case SectionKind::Bridge:
    case SectionKind::Breakdown: return Floating;
    default: return Main;
    }
}

const Chord& chordAt(double bar)
{
    const Section& s = sectionAt(bar);
    if (s.kind == SectionKind::Outro) return F;
    const int whole = int(std::floor(bar));
    const int inSection = whole - sectionOrigin(s);
    return progressionAt(s, whole).chords[(inSection / 2) % 4];
}

// Every note of the chord's pitch classes between lo and hi (MIDI, inclusive).
std::vector<int> voice(const Chord& c, int lo, int hi)
{
    std::vector<int> notes;
    for (int m = lo; m <= hi; ++m)
        for (int pc : c.pitchClasses)
            if (m % 12 == pc) notes.push_back(m);
    return notes;
}

// Calm voicings stay above E5 (about 660 Hz), clear of the three watched bins and their skirts.
constexpr int CalmLow = 77, CalmHigh = 89;
// Stabs put their top on C5, analysis bin 6.
constexpr int StabLow = 65, StabHigh = 72;

double stepTime(int bar, int step) { return barTime(bar) + step * Step; }

// Cutoff of a section's filter at `open` (0..1): from 300 Hz to about 19 kHz.
double cutoffHz(float open) { return 300.0 * std::pow(64.0, double(open)); }

float openAt(const Section& s, double bar)
{
    const double x = std::clamp((bar - s.startBar) / (s.endBar - s.startBar), 0.0, 1.0);
    return s.openFrom + (s.openTo - s.openFrom) * float(x);
}

// Whether a cue falls in (t, t + seconds].
bool cueWithin(double t, double seconds)
{
    for (float cue : CueTimes)
        if (double(cue) > t && double(cue) <= t + seconds) return true;
    return false;
}

// One sixteenth of the section's beat. bar and step give the grid position; phraseBar counts bars
// from the section's start, so fills land at the end of its eight-bar phrases.
void drumStep(Buses& b, const Section& s, int bar, int step, int phraseBar, std::vector<double>& kicks)
{
    const double t = stepTime(bar, step);
    const DrumStep* pattern = nullptr;
    switch (s.beat) {
    case Beat::None: return;
    case Beat::Hats:
        if (step % 2 == 0) hat(b.drums, t, step % 4 == 2 ? 0.4f : 0.22f, false, 0.25f);
        if (step == 14 && bar % 2 == 1) hat(b.drums, t, 0.3f, true, -0.3f);
        return;
    case Beat::Roll: {
        // Quarters, then eighths, then sixteenths as the section runs out, rising in strength.
        const double x = (bar + step / 16.0 - s.startBar) / (s.endBar - s.startBar);
        const int every = x < 0.4 ? 4 : x < 0.75 ? 2 : 1;
        if (step % every == 0) snare(b.drums, t, 0.3f + 0.55f * float(x));
        if (x >= 0.5 && step % 4 == 0) {
            kick(b.drums, t, 0.8f);
            kicks.push_back(t);
        }
        if (step % 2 == 0) hat(b.drums, t, 0.15f + 0.15f * float(x), false, 0.3f);
        return;
    }
    case Beat::HalfTime: pattern = HalfTime; break;
    case Beat::TwoStep: pattern = TwoStep; break;
    case Beat::Rolling: pattern = Rolling; break;
    case Beat::Steppers: pattern = Steppers; break;
    }
    const DrumStep& d = pattern[step];
    // The last bar of a phrase turns into the next with a sixteenth snare run.
    const bool fill = phraseBar % 8 == 7 && step >= 12 && s.beat != Beat::HalfTime;
    // A snare just before a cue would still ring when the cue's accent comes: it leaves the room.
    if (cueWithin(t, 0.12) && !fill) {
        if (d.kick > 0) {
            kick(b.drums, t, d.kick);
            kicks.push_back(t);
        }
        return;
    }
    if (d.kick > 0) {
        kick(b.drums, t, d.kick);
        kicks.push_back(t);
    }
    if (fill) {
        snare(b.drums, t, 0.45f + 0.12f * float(step - 12));
    } else if (d.snare > 0) {
        snare(b.drums, t, d.snare * 0.9f);
        if (d.snare > 0.5f) snare(b.reverbSend, t, 0.25f);
    }
    if (d.hat > 0) hat(b.drums, t, d.hat * 0.55f, step == 14 && bar % 2 == 1, 0.25f);
    if (s.kind == SectionKind::Peak || s.kind == SectionKind::Finale)
        if (bar % 4 == 0 && step % 4 == 0) hat(b.drums, t, 0.3f, true, -0.3f);
    // The half-time drop rides an open cymbal on the beat, so the bar stays bright between its few hits,
    // and the groove after it keeps riding.
    if ((s.kind == SectionKind::HalfTime || s.kind == SectionKind::Groove) && step % 4 == 0)
        hat(b.drums, t, 0.22f, true, step % 8 ? 0.35f : -0.35f);
}

// The bass notes that start on this sixteenth. Every line stays on F2 (analysis bin 1), whose partials
// miss the watched bins; the harmony moves above it.
void bassStep(Buses& b, const Section& s, int bar, int step, double bar01)
{
    const double t = stepTime(bar, step);
    const double end = sectionEndTime(s);
    const int half = (bar % 2) * 16;
    auto lengthUpTo = [&](int sixteenths) { return std::min(sixteenths * Step * 0.92, end - t); };
    switch (s.bass) {
    case BassLine::None: return;
    case BassLine::Pulse:
        if (step == 0) bassNote(b.bass, t, lengthUpTo(6), 41, 0.35f + 0.15f * float(bar01));
        return;
    case BassLine::Sub:
        for (const BassHit& h : BassGroove)
            if (h.step == half + step) bassNote(b.bass, t, lengthUpTo(h.length), 41, 0.5f);
        return;
    case BassLine::Reese:
        for (const BassHit& h : ReeseGroove)
            if (h.step == half + step) reeseNote(b.bass, t, lengthUpTo(h.length), 41, 0.42f, openAt(s, bar + step / 16.0), 0);
        return;
    case BassLine::Wobble:
        // One long note a bar whose filter swings in quarter notes.
        if (step == 0) reeseNote(b.bass, t, lengthUpTo(15), 41, 0.42f, openAt(s, bar), float(187.0 / 60.0));
        return;
    }
}

void melody(Buses& b, int phraseStartBar, const MelodyNote* notes, int count, double until, float velocity,
            double attack = 0.006)
{
    for (int i = 0; i < count; ++i) {
        const MelodyNote& n = notes[i];
        const double t = stepTime(phraseStartBar + n.bar, n.step);
        if (t >= until) break;
        const double length = std::min(n.length * Step * 0.9, until - t);
        leadNote(b.lead, t, length, n.midi, velocity, attack);
        leadNote(b.delaySend, t, length, n.midi, velocity * 0.5f, attack);
    }
}

void arpeggio(Buses& b, int bar, int step, const Chord& chord, float velocity)
{
    const std::vector<int> notes = voice(chord, 72, 86);
    constexpr int Order[16] = {0, 1, 2, 1, 3, 2, 1, 2, 0, 2, 3, 4, 3, 2, 1, 2};
    const int n = notes[size_t(Order[step]) % notes.size()];
    const float accent = step % 4 == 0 ? 1.0f : 0.65f;
    pluck(b.keys, stepTime(bar, step), n, velocity * accent, step % 2 ? 0.35f : -0.35f);
    pluck(b.reverbSend, stepTime(bar, step), n, velocity * accent * 0.4f, 0);
}

void sparkStep(Buses& b, const Section& s, int bar, int step)
{
    if (s.sparks == 0) return;
    const bool riff = s.sparks == 2;
    const Ping* motif = riff ? RiffMotif : SparseMotif;
    const size_t count = riff ? std::size(RiffMotif) : std::size(SparseMotif);
    const int at = (bar % 2) * 16 + step;
    for (size_t i = 0; i < count; ++i) {
        if (motif[i].step != at) continue;
        const double t = stepTime(bar, step);
        const float pan = at % 3 == 0 ? -0.3f : 0.3f;
        ping(b.keys, t, motif[i].midi, motif[i].velocity * 0.5f, pan);
        ping(b.delaySend, t, motif[i].midi, motif[i].velocity * 0.2f, 0);
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

bool quiet(SectionKind k)
{
    return calmSection(k) || k == SectionKind::Build || k == SectionKind::Break;
}

void pads(Buses& b, int bar, const Section& s)
{
    if ((bar - sectionOrigin(s)) % 2 != 0) return;
    const Chord& chord = chordAt(bar);
    const double length = 2 * BarSeconds;
    // Between the watched bins every note leaks into them, so the pads stay above F5; under full
    // sections a C4, which sits exactly on bin 3, adds body where the chord has a C.
    std::vector<int> notes = voice(chord, CalmLow, CalmHigh);
    if (!quiet(s.kind) && !voice(chord, 60, 60).empty()) notes.insert(notes.begin(), 60);
    padChord(b.pad, barTime(bar), length, notes, quiet(s.kind) ? 0.5f : 0.45f, quiet(s.kind) ? 0.22f : 0.3f);
}

// previousGap: seconds since the cue before (large for the first).
void accentCue(Buses& b, double t, int index, double previousGap)
{
    const double bar = (t - BarOrigin) / BarSeconds;
    const Section& s = sectionAt(bar);
    const Chord& chord = chordAt(bar);
    const float pan = index % 2 ? 0.4f : -0.4f;
    // Every accent starts with a click, so the cue is heard (and found) on its exact sample.
    tick(b.drums, t, 0.7f);
    if (calmSection(s.kind)) {
        // Calm sections answer a cue with high bells only.
        const std::vector<int> notes = voice(chord, 84, 93);
        for (size_t i = 0; i < notes.size() && i < 3; ++i) {
            bell(b.keys, t + 0.02 * double(i), notes[i], 0.9f, pan * float(i));
            bell(b.reverbSend, t, notes[i], 0.5f, 0);
        }
        return;
    }
    // A crash still ringing from the cue before would hide another: close followers get a chirp instead.
    // The drop keeps its crashes light and the groove all of its accents: a run of close cues would
    // outshine the rest of them.
    const float weight = s.kind == SectionKind::Groove ? 0.55f : 1.0f;
    const float crashWeight = s.kind == SectionKind::HalfTime ? 0.55f : weight;
    if (previousGap >= 0.5) crash(b.drums, t, 0.85f * crashWeight, pan);
    else zap(b.keys, t, 0.8f * weight, -pan);
    bell(b.keys, t, 96 + (index % 3) * 3, 0.5f * weight, -pan);
    stab(b.keys, t, voice(chord, StabLow, StabHigh), weight);
    stab(b.reverbSend, t, voice(chord, StabLow, StabHigh), 0.5f * weight);
}

// A section that opens with its beat lands with a crash and a boom, with a reversed cymbal into it.
void landing(Buses& b, double t, float velocity)
{
    crash(b.drums, t, 0.9f * velocity, 0);
    impact(b.fx, t, 0.7f * velocity);
    reverseCrash(b.fx, t, 2 * BarSeconds, 0.6f * velocity);
}

// Sets the loudness: the limiter then only shaves the tallest hits.
constexpr float MasterGain = 0.45f;

void scaleBus(Bus& b, float gain)
{
    for (size_t i = 0; i < b.frames(); ++i) b.l[i] *= gain, b.r[i] *= gain;
}

// The mix's level, section by section, glides 20 ms into each new value so a jump never clicks.
void rideLevels(Bus& mix)
{
    double gain = 1;
    const double glide = 1 - std::exp(-1.0 / (0.02 * SampleRate));
    for (size_t i = 0; i < mix.frames(); ++i) {
        const double t = double(i) / SampleRate;
        const double bar = (t - BarOrigin) / BarSeconds;
        const Section& s = sectionAt(bar);
        const double x = std::clamp((bar - s.startBar) / (s.endBar - s.startBar), 0.0, 1.0);
        const double db = bar < 0 ? 0.0 : s.levelFrom + (s.levelTo - s.levelFrom) * x;
        gain += (std::pow(10.0, db / 20) - gain) * glide;
        mix.l[i] *= float(gain);
        mix.r[i] *= float(gain);
    }
}

}  // namespace

double barTime(double bar) { return BarOrigin + bar * BarSeconds; }

const std::vector<Section>& trackSections()
{
    static const std::vector<Section> all(Sections, Sections + SectionCount);
    return all;
}

bool calmSection(SectionKind k)
{
    return k == SectionKind::Intro || k == SectionKind::Bridge || k == SectionKind::Breakdown ||
           k == SectionKind::Outro;
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

    for (int bar = 0; bar < 142; ++bar) {
        const Section& atStart = sectionAt(bar);
        if (bar >= 1) pads(b, bar, atStart);
        if (atStart.kind == SectionKind::Intro && bar >= 4) calmBells(b, bar, chordAt(bar), 0.25f + 0.02f * float(bar - 4));
        if (atStart.kind == SectionKind::Breakdown || atStart.kind == SectionKind::Bridge) calmBells(b, bar, chordAt(bar), 0.35f);
        if (atStart.kind == SectionKind::Outro && bar % 2 == 0 && bar < 140)
            calmBells(b, bar, chordAt(bar), 0.3f - 0.03f * float(bar - int(atStart.startBar)));
        // Lead phrases start on the section's eight-bar lines.
        const int inSection = bar - sectionOrigin(atStart);
        if (inSection % 8 == 0) {
            const char line = leadOf(atStart, inSection / 8);
            if (line == 'T') melody(b, bar, Theme, ThemeCount, sectionEndTime(atStart), 0.5f);
            if (line == 'A') melody(b, bar, Answer, AnswerCount, sectionEndTime(atStart), 0.5f);
            if (line == 'C') melody(b, bar, Call, CallCount, sectionEndTime(atStart), 0.65f, 0.02);
        }
        if (atStart.kind == SectionKind::Groove && bar % 2 == 1) {
            const Chord& chord = chordAt(bar);
            stab(b.keys, stepTime(bar, 14), voice(chord, StabLow, StabHigh), 0.35f);
            stab(b.reverbSend, stepTime(bar, 14), voice(chord, StabLow, StabHigh), 0.25f);
        }
        for (int step = 0; step < 16; ++step) {
            const double at = bar + step / 16.0;
            const Section& s = sectionAt(at);
            const int phraseBar = bar - sectionOrigin(s);
            const double bar01 = (at - s.startBar) / (s.endBar - s.startBar);
            drumStep(b, s, bar, step, phraseBar, kicks);
            bassStep(b, s, bar, step, bar01);
            sparkStep(b, s, bar, step);
            if (s.arp) arpeggio(b, bar, step, chordAt(at), 0.14f + 0.08f * float(openAt(s, at)));
        }
    }

    // The bass and the pads follow each section's filter; the drums and the lead stay open.
    for (const Section& s : Sections) {
        const double t0 = barTime(s.startBar), t1 = barTime(s.endBar);
        lowpassSweep(b.bass, t0, t1, cutoffHz(s.openFrom), cutoffHz(s.openTo));
        lowpassSweep(b.pad, t0, t1, cutoffHz(s.openFrom), cutoffHz(s.openTo));
    }

    // Risers into the drops, and what lands at their end.
    riser(b.fx, barTime(14), firstCue, 0.5f);
    impact(b.fx, firstCue, 0.9f);
    reverseCrash(b.fx, firstCue, firstCue - barTime(15), 0.8f);
    riser(b.fx, barTime(44), barTime(47), 0.35f);
    landing(b, barTime(47), 0.8f);
    riser(b.fx, barTime(74), barTime(76), 0.35f);
    landing(b, barTime(76), 0.9f);
    landing(b, barTime(95), 0.6f);
    // The breakdown lifts from the cue that ends the last gap: a soft snare roll over a riser.
    riser(b.fx, barTime(120.58), barTime(123.41), 0.5f);
    for (double bar = 120.75; bar < 123.3; bar += 0.125) {
        const double x = (bar - 120.58) / (123.41 - 120.58);
        snare(b.drums, barTime(bar), float(0.15 + 0.45 * x * x));
    }
    // Under the half-time drop a sub holds the spectrum's peak on bin 1 through the reese's gaps, so
    // the reverb and the hats between the hits never count as strong.
    drone(b.bass, firstCue, barTime(29), 41, 0.4f, 0.05, 0.1);
    drone(b.bass, barTime(44), barTime(47), 41, 0.25f, BarSeconds, 0.2);
    drone(b.bass, barTime(73), barTime(76), 41, 0.25f, 0.3, 0.2);
    drone(b.bass, barTime(116.45), barTime(123.41), 41, 0.3f, BarSeconds, 0.2);
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
    impact(b.fx, CueTimes[94], 0.8f);   // the finale
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
    rideLevels(mix);
    // MP3 encoding overshoots the PCM by up to about 2 dB on this material: the ceiling leaves room for it.
    limit(mix, 0.6f, 0.12);
    return mix;
}
