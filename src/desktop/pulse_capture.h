// Live sound from a PulseAudio server (or PipeWire's pulse server) through libpulse: a record stream
// of float stereo at 44.1 kHz in 10 ms fragments, the server converting whatever the source gives.
// The stream's thread only copies into a ring; the main thread drains it. A server that goes away is
// tried again every second, on the main thread, until it answers.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "audio/sound_capture.h"
#include "desktop/pulse_client.h"
#include "desktop/sample_ring.h"

constexpr uint32_t CaptureFragmentMs = 10;    // what the server hands over at a time
constexpr double CaptureRetrySeconds = 1.0;   // between tries to listen again after a loss

class PulseCapture final : public SoundCapture {
public:
    PulseCapture();
    ~PulseCapture() override;
    PulseCapture(const PulseCapture&) = delete;
    PulseCapture& operator=(const PulseCapture&) = delete;

    bool open(const std::string& source, std::string& error) override;
    std::string sourceName() const override { return resolved_; }
    std::string sourceDescription() const override { return description_; }
    size_t read(float* stereo, size_t maxFrames) override;
    bool listening() const override { return stream_ && !lost_.load(); }
    double latencySeconds() const override;

private:
    static void contextState(pa_context* context, void* self);
    static void streamState(pa_stream* stream, void* self);
    static void readable(pa_stream* stream, size_t bytes, void* self);
    bool connect(const std::string& source, std::string& error);   // with the loop locked

    SampleRing ring_;
    std::string asked_;      // as given to open: empty for what the desktop plays
    std::string resolved_;   // the source's own name
    std::string description_;
    PulseClient client_;
    pa_stream* stream_ = nullptr;
    std::atomic<bool> lost_{false};   // set on the loop's thread
    std::atomic<double> arrivedAt_{0};   // steady seconds of the newest fragment, set on the loop's thread
    double retryAt_ = 0;              // steady seconds
};
