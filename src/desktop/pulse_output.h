// The music straight to a PulseAudio server (or PipeWire's pulse server) through libpulse. SDL's driver
// asks the server for one buffer and lets the sink take half of it, so a deeper queue there costs
// latency the show can't see. This stream keeps a deep queue on its side of the server (early requests:
// the sink holds only one refill, and PipeWire's quantum stays that small) and reads the real latency
// from the server at every write, so the play position keeps to the sound whatever shares the sink.
// A server lost mid-show hands over to a silent clock, so the show plays on to its end.
#pragma once
#include <atomic>
#include <cstdint>

#include "desktop/audio_output.h"
#include "desktop/pulse_client.h"
#include "desktop/silent_clock.h"

class StreamPlayer;

// --- The queue asked of the server
constexpr uint32_t PulseQueueMs = 400;    // audio kept written ahead of the sink: what a late refill may use
constexpr uint32_t PulseRefillMs = 20;    // the server asks for more once this much has room; the sink's share

class PulseOutput final : public AudioOutput {
public:
    PulseOutput() = default;
    ~PulseOutput() override;   // closes
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    // --- Main thread
    // Connects to the user's server (never starts one) and starts playing the player's samples; false,
    // with nothing left running, when no server answers or it refuses the stream.
    bool open(StreamPlayer& player, BeforeEachFill beforeEachWrite);
    void close() override;   // ends the stream (or the silent clock after it); no write reaches the player after it returns; idempotent

private:
    static void contextState(pa_context* context, void* self);
    static void streamState(pa_stream* stream, void* self);
    static void writeRequest(pa_stream* stream, size_t bytes, void* self);
    bool connect();   // with the loop locked
    void write(size_t bytes);

    StreamPlayer* player_ = nullptr;
    BeforeEachFill beforeEachWrite_ = nullptr;
    PulseClient client_;
    pa_stream* stream_ = nullptr;
    uint64_t writtenFrames_ = 0;      // on the loop's thread
    bool prioritySet_ = false;        // on the loop's thread
    bool playing_ = false;            // open succeeded; under the loop's lock
    std::atomic<bool> closing_{false};
    bool lost_ = false;               // on the loop's thread
    SilentClock silence_;             // started on the loop's thread at a loss; closed once that thread has stopped
};
