// Sound from outside the show, for a show that listens live: what the desktop plays (the monitor of
// its default output), a microphone, a line-in, a shared browser tab. The platform records it on a
// thread of its own, or the page hands it in; the show takes it on the main thread, frame by frame.
#pragma once
#include <cstddef>
#include <memory>
#include <string>

class SoundCapture {
public:
    virtual ~SoundCapture() = default;   // stops recording

    // --- Main thread
    // Starts recording source (empty: what the desktop plays). False with error set to one sentence
    // that names what is missing ("no sound server answers", "there is no source named 'x'").
    virtual bool open(const std::string& source, std::string& error) = 0;
    virtual std::string sourceName() const = 0;   // what is listened to, as the server names it
    virtual std::string sourceDescription() const = 0;   // and as it is shown to people ("Monitor of ...")
    // Up to maxFrames frames of interleaved 44.1 kHz stereo that arrived since the last read, oldest
    // first. While the server is away it returns none and tries, now and then, to listen again.
    virtual size_t read(float* stereo, size_t maxFrames) = 0;
    virtual bool listening() const = 0;           // false while the server is away
    virtual double latencySeconds() const = 0;    // the newest sound here now: how long since it reached the server
};

// --- The platform's (desktop/pulse_capture.cpp: libpulse)
std::unique_ptr<SoundCapture> makeSoundCapture();
