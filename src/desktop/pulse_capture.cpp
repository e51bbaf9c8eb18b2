// PulseCapture. The server is asked for the default output's name once per connection, so "what the
// desktop plays" follows the output the desktop uses when listening starts (or starts again).
#include "desktop/pulse_capture.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>

#include "audio/track_decoder.h"

namespace {
constexpr size_t RingSamples = 1 << 19;   // 5.9 s of stereo: the show's start-up, or a stalled main thread
constexpr size_t FrameBytes = sizeof(float) * MusicChannels;

double steadySeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs op on the loop's thread and waits for it (the loop locked by the caller).
void waitFor(pa_threaded_mainloop* loop, pa_operation* op)
{
    if (!op) return;
    while (pa_operation_get_state(op) == PA_OPERATION_RUNNING) pa_threaded_mainloop_wait(loop);
    pa_operation_unref(op);
}

struct Lookup {
    pa_threaded_mainloop* loop;
    std::string name;
    bool found = false;
    std::string description;
};
}  // namespace

std::unique_ptr<SoundCapture> makeSoundCapture() { return std::make_unique<PulseCapture>(); }

PulseCapture::PulseCapture() : ring_(RingSamples) {}

PulseCapture::~PulseCapture() { client_.close(stream_); }

void PulseCapture::contextState(pa_context* context, void* self)
{
    auto* capture = static_cast<PulseCapture*>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) capture->lost_ = true;
    capture->client_.signal();
}

void PulseCapture::streamState(pa_stream* stream, void* self)
{
    auto* capture = static_cast<PulseCapture*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) capture->lost_ = true;
    capture->client_.signal();
}

void PulseCapture::readable(pa_stream* stream, size_t, void* self)
{
    auto* capture = static_cast<PulseCapture*>(self);
    const void* data = nullptr;
    size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0 && pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
        // A hole (no data for a stretch) comes as bytes without data: it is dropped like the rest.
        if (data) capture->ring_.write(static_cast<const float*>(data), bytes / FrameBytes * MusicChannels);
        pa_stream_drop(stream);
    }
    capture->arrivedAt_ = steadySeconds();
}

bool PulseCapture::connect(const std::string& source, std::string& error)
{
    if (!client_.waitConnected()) {
        error = "no sound server answers (PulseAudio, or PipeWire's pulse server)";
        return false;
    }
    pa_threaded_mainloop* loop = client_.loop();
    pa_context* context = client_.context();
    Lookup lookup{loop, source, false, ""};
    if (source.empty()) {
        waitFor(loop, pa_context_get_server_info(
                           context,
                           [](pa_context*, const pa_server_info* info, void* data) {
                               auto* l = static_cast<Lookup*>(data);
                               if (info && info->default_sink_name) l->name = std::string(info->default_sink_name) + ".monitor";
                               pa_threaded_mainloop_signal(l->loop, 0);
                           },
                           &lookup));
        if (lookup.name.empty()) {
            error = "the sound server has no output to listen to";
            return false;
        }
    }
    waitFor(loop, pa_context_get_source_info_by_name(
                       context, lookup.name.c_str(),
                       [](pa_context*, const pa_source_info* info, int, void* data) {
                           auto* l = static_cast<Lookup*>(data);
                           if (info) l->found = true;
                           if (info && info->description) l->description = info->description;
                           pa_threaded_mainloop_signal(l->loop, 0);
                       },
                       &lookup));
    if (!lookup.found) {
        error = "the sound server has no source named '" + lookup.name + "'";
        return false;
    }
    resolved_ = lookup.name;
    description_ = lookup.description.empty() ? lookup.name : lookup.description;

    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, MusicSampleRate, uint8_t(MusicChannels)};
    stream_ = pa_stream_new(context, "listen", &format, nullptr);
    if (!stream_) {
        error = "the sound server refuses a recording stream";
        return false;
    }
    pa_stream_set_state_callback(stream_, streamState, this);
    pa_stream_set_read_callback(stream_, readable, this);
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = attr.prebuf = attr.minreq = uint32_t(-1);
    attr.fragsize = uint32_t(pa_usec_to_bytes(CaptureFragmentMs * PA_USEC_PER_MSEC, &format));
    const auto flags =
        pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_record(stream_, resolved_.c_str(), &attr, flags) < 0) {
        error = "the sound server refuses to record '" + resolved_ + "'";
        return false;
    }
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state)) {
            error = "the sound server refuses to record '" + resolved_ + "'";
            return false;
        }
        client_.wait();
    }
}

bool PulseCapture::open(const std::string& source, std::string& error)
{
    client_.close(stream_);
    asked_ = source;
    lost_ = false;
    if (!client_.open("listen", contextState, this)) {
        error = "no sound server answers (PulseAudio, or PipeWire's pulse server)";
        return false;
    }
    client_.lock();
    const bool ok = connect(source, error);
    client_.unlock();
    if (!ok) client_.close(stream_);
    lost_ = !ok;
    return ok;
}

size_t PulseCapture::read(float* stereo, size_t maxFrames)
{
    if (lost_ && steadySeconds() >= retryAt_) {
        retryAt_ = steadySeconds() + CaptureRetrySeconds;
        std::string error;
        open(asked_, error);
    }
    return ring_.read(stereo, maxFrames * MusicChannels) / MusicChannels;
}

double PulseCapture::latencySeconds() const
{
    if (!listening()) return 0;
    pa_threaded_mainloop_lock(client_.loop());
    pa_usec_t usec = 0;
    int negative = 0;
    const bool known = pa_stream_get_latency(stream_, &usec, &negative) == 0;
    pa_threaded_mainloop_unlock(client_.loop());
    // The server's own part (the source's, and what its stream holds), then the time since the newest
    // fragment came over.
    return (known && !negative ? double(usec) / 1e6 : 0.0) + std::max(0.0, steadySeconds() - arrivedAt_.load());
}
