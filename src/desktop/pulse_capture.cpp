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
};
}  // namespace

std::unique_ptr<SoundCapture> makeSoundCapture() { return std::make_unique<PulseCapture>(); }

PulseCapture::PulseCapture() : ring_(RingSamples) {}

PulseCapture::~PulseCapture() { close(); }

void PulseCapture::contextState(pa_context* context, void* self)
{
    auto* capture = static_cast<PulseCapture*>(self);
    if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) capture->lost_ = true;
    pa_threaded_mainloop_signal(capture->loop_, 0);
}

void PulseCapture::streamState(pa_stream* stream, void* self)
{
    auto* capture = static_cast<PulseCapture*>(self);
    if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) capture->lost_ = true;
    pa_threaded_mainloop_signal(capture->loop_, 0);
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
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) break;
        if (!PA_CONTEXT_IS_GOOD(state)) {
            error = "no sound server answers (PulseAudio, or PipeWire's pulse server)";
            return false;
        }
        pa_threaded_mainloop_wait(loop_);
    }
    Lookup lookup{loop_, source};
    if (source.empty()) {
        waitFor(loop_, pa_context_get_server_info(
                           context_,
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
    waitFor(loop_, pa_context_get_source_info_by_name(
                       context_, lookup.name.c_str(),
                       [](pa_context*, const pa_source_info* info, int, void* data) {
                           auto* l = static_cast<Lookup*>(data);
                           if (info) l->found = true;
                           pa_threaded_mainloop_signal(l->loop, 0);
                       },
                       &lookup));
    if (!lookup.found) {
        error = "the sound server has no source named '" + lookup.name + "'";
        return false;
    }
    resolved_ = lookup.name;

    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, MusicSampleRate, uint8_t(MusicChannels)};
    stream_ = pa_stream_new(context_, "listen", &format, nullptr);
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
        pa_threaded_mainloop_wait(loop_);
    }
}

bool PulseCapture::open(const std::string& source, std::string& error)
{
    close();
    asked_ = source;
    lost_ = false;
    loop_ = pa_threaded_mainloop_new();
    context_ = loop_ ? pa_context_new(pa_threaded_mainloop_get_api(loop_), "show") : nullptr;
    if (!context_) {
        error = "the sound server's client library cannot start";
        close();
        return false;
    }
    pa_threaded_mainloop_set_name(loop_, "listen");
    pa_context_set_state_callback(context_, contextState, this);
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        pa_threaded_mainloop_start(loop_) < 0) {
        error = "no sound server answers (PulseAudio, or PipeWire's pulse server)";
        close();
        return false;
    }
    pa_threaded_mainloop_lock(loop_);
    const bool ok = connect(source, error);
    pa_threaded_mainloop_unlock(loop_);
    if (!ok) close();
    lost_ = !ok;
    return ok;
}

void PulseCapture::close()
{
    if (!loop_) return;
    pa_threaded_mainloop_lock(loop_);
    if (stream_) {
        pa_stream_set_read_callback(stream_, nullptr, nullptr);
        pa_stream_set_state_callback(stream_, nullptr, nullptr);
        pa_stream_disconnect(stream_);
        pa_stream_unref(stream_);
        stream_ = nullptr;
    }
    if (context_) {
        pa_context_set_state_callback(context_, nullptr, nullptr);
        pa_context_disconnect(context_);
        pa_context_unref(context_);
        context_ = nullptr;
    }
    pa_threaded_mainloop_unlock(loop_);
    pa_threaded_mainloop_stop(loop_);
    pa_threaded_mainloop_free(loop_);
    loop_ = nullptr;
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
    pa_threaded_mainloop_lock(loop_);
    pa_usec_t usec = 0;
    int negative = 0;
    const bool known = pa_stream_get_latency(stream_, &usec, &negative) == 0;
    pa_threaded_mainloop_unlock(loop_);
    // The server's own part (the source's, and what its stream holds), then the time since the newest
    // fragment came over.
    return (known && !negative ? double(usec) / 1e6 : 0.0) + std::max(0.0, steadySeconds() - arrivedAt_.load());
}
