// The show to live sound: a ShowHost whose music is whatever a SoundCapture hears. Each frame takes
// in what arrived: the live cue finder's cues join the cue list, and the spectrum is the newest 512
// samples'. The music clock is the sound heard since listening began; while the sound server is away
// it runs on in silence, so the effects rest and the clock still tells the time since the start.
#pragma once
#include <cstdint>
#include <cstdio>
#include <vector>

#include "audio/analyser.h"
#include "audio/live_cues.h"
#include "audio/sound_capture.h"
#include "main/show.h"

// A listening show's score: no cue known yet, and every rule open from the start.
ShowScore listeningScore();

// The display and the keys are the live show's (LiveHost); only the music differs.
class ListenHost : public LiveHost {
public:
    using Clock = double (*)();   // steady seconds
    // notices: where the lost-server and back-again lines go (nullptr: nowhere).
    explicit ListenHost(SoundCapture& capture, std::FILE* notices = stderr, Clock clock = nullptr);

    // --- ShowHost
    void fetchSpectrum() override;      // takes in what arrived since the last frame, then analyses the newest
    uint32_t musicPosition() override;  // ms of sound since listening began
    uint32_t musicLength() override;    // never reached: the show listens until Escape

    // --- State
    uint64_t framesHeard() const { return frames_; }

private:
    void take(const float* stereo, size_t frames);

    SoundCapture& capture_;
    std::FILE* notices_;
    Clock clock_;
    LiveCueFinder cues_;
    SpectrumAnalyser analyser_;
    std::vector<float> incoming_;        // one read's stereo
    std::vector<float> newest_;          // channel 0, the last AnalysisSize samples, oldest first
    uint64_t frames_ = 0;
    double lastTake_ = -1;               // clock seconds of the last fetch
    bool away_ = false;                  // the server is away (and that has been told)
    double awaySince_ = 0;               // clock seconds
    uint64_t framesAtLoss_ = 0;
};
