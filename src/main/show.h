// The show's start-up, frame loop and closing screen. The loop meets the outside world (music,
// display, keyboard) only through ShowHost, so the live show and offline tools run the same logic.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "timeline/spawner.h"
#include "utils/image.h"
#include "words/track_words.h"

// Where the music position and spectrum come from and where finished frames go.
class ShowHost {
public:
    virtual ~ShowHost() = default;
    virtual void fetchSpectrum() = 0;        // refreshes the spectrum array for this frame
    virtual uint32_t musicPosition() = 0;    // milliseconds
    virtual uint32_t musicLength() = 0;      // milliseconds
    virtual void endFrame() = 0;             // presents the frame, takes in input
    virtual bool escapePressed() = 0;        // the one key that ends the show (or a stop request)
};

// The live show: the real music player, SDL's display and keyboard.
class LiveHost : public ShowHost {
public:
    void fetchSpectrum() override;
    uint32_t musicPosition() override;
    uint32_t musicLength() override;
    void endFrame() override;
    bool escapePressed() override;
};

enum class LoopExit { Escape, ShowOver };

constexpr int ShowWidth = 1024;                  // pixels
constexpr int ShowHeight = 768;                  // pixels
constexpr float CueLifetime = 2.0f;              // seconds each typography sprite lives
constexpr double ClosingDuration = 2.1;          // seconds of demoTime the closing screen lasts
constexpr const char* TrackFileName = "bass_300808.mp3";

// What the show plays to beside the music: its cue list and when the grid and stroke rules open;
// for a listener's track also its words and the posters made from them.
struct ShowScore {
    std::vector<float> cues;   // seconds, non-decreasing
    SpawnGates gates;
    std::optional<TrackWords> words;   // a listener's track's; the built-in show has none
    std::vector<NamedImage> posters;   // uploaded in place of the data files of their names
};

// --- Scores
ShowScore builtInScore();   // the 105 CueTimes, the grids after 18 s and the strokes after 25.8 s
// A listener's track's: its found cues, and both rules open at the first of them (at 0 without
// any). The built-in gates hold grids and strokes back through the show's own intro, around its
// first cue (23.2 s): a listener's track gets the same shape, sparks alone until its first accent.
// Its rules answer events in their bands (SpawnGates::listening).
ShowScore listenerScore(std::vector<float> cues);

// --- Start-up (after initVideo, before initMusic) and teardown (before closeVideo)
// The show's whole state (timeline/show_state.h) lives from startShow to stopShow. A show already
// started is stopped first, so a second start in one process begins exactly as the first did.
void startShow();                         // with builtInScore()
void startShow(const ShowScore& score);   // anchor points, all textures, the cue list and blending, in that fixed order
void stopShow();                          // every fragment, cue, point and texture gone; the clock and the
                                          // generator back where initVideo left them
// The cue list, gates and posters replaced by another score's, with no draw: the state startShow(score) would
// have left, for a host that learns its track after start-up (the page, given a file).
void useScore(const ShowScore& score);

// --- Running: the whole sequence, frame loop then closing screen, one displayed frame per step()
// Every driver steps this: the desktop show and the tools in a plain loop, a browser once per
// animation frame.
class ShowRun {
public:
    enum class Phase { Playing, Closing, Ended };
    bool step(ShowHost& host);   // one frame (or the closing screen's end test); false once Ended
    Phase phase() const { return phase_; }
    LoopExit exit() const { return exit_; }   // how it ended; meaningful once Ended

private:
    bool end(LoopExit how);
    Phase phase_ = Phase::Playing;
    LoopExit exit_ = LoopExit::ShowOver;
    float closingStart_ = 0;   // demoTime seconds
};

// --- Running to an end (plain loops over ShowRun::step)
LoopExit runShow(ShowHost& host);       // to the end of the closing screen, or until Escape
LoopExit runFrameLoop(ShowHost& host);  // until Escape, or the music is over and no fragment lives

// --- The closing screen's picture
void drawClosingFrame(float now);           // one closing frame at demoTime now (seconds)
float closingOpacity(float now);            // 0.8..1.0, pulsing with demoTime now (seconds)
