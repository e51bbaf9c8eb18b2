// PulseOutput. libpulse runs the stream on its own thread (a threaded main loop); its write requests
// only copy from the player, as SDL's callback does, and the loop's lock is taken only to open and close.
#include "desktop/pulse_output.h"

#include <pulse/pulseaudio.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "desktop/stream_player.h"

namespace {
constexpr size_t FrameBytes = sizeof(int16_t) * MusicChannels;

uint64_t usecToFrames(pa_usec_t usec) { return usec * MusicSampleRate / 1'000'000; }
}  // namespace

PulseOutput::~PulseOutput() { close(); }

void PulseOutput::contextState(pa_context*, void* self) { static_cast<PulseOutput*>(self)->client_.signal(); }

void PulseOutput::streamState(pa_stream* stream, void* self)
{
    auto* out = static_cast<PulseOutput*>(self);
    out->client_.signal();
    // The server went away mid-show. SDL keeps calling back at the real pace on a lost device so the
    // show plays on to its end in silence; a silent clock does that here.
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if ((state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) && out->playing_ && !out->closing_.load() &&
        !out->lost_) {
        out->lost_ = true;
        out->silence_.open(*out->player_);
    }
}

void PulseOutput::writeRequest(pa_stream*, size_t bytes, void* self) { static_cast<PulseOutput*>(self)->write(bytes); }

void PulseOutput::write(size_t bytes)
{
    if (beforeEachWrite_) beforeEachWrite_();
    if (!prioritySet_) {
        // What SDL asks for its audio thread ("time critical"): nice -20 where allowed, else unchanged.
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), -20);
        prioritySet_ = true;
    }
    // How long until a sample written now is heard: the server's queue and the sink's buffer, from the
    // server's own timing. Until its first report nothing has played, so all that was written is queued.
    pa_usec_t usec = 0;
    int negative = 0;
    uint64_t queued = writtenFrames_;
    if (pa_stream_get_latency(stream_, &usec, &negative) == 0) queued = negative ? 0 : usecToFrames(usec);
    while (bytes >= FrameBytes) {
        void* data = nullptr;
        size_t room = bytes;
        if (pa_stream_begin_write(stream_, &data, &room) < 0 || room < FrameBytes) return;
        const size_t frames = room / FrameBytes;
        player_->fill(static_cast<int16_t*>(data), frames, steadyNowNs(),
                      uint32_t(std::min<uint64_t>(queued, StreamPlayer::MaxLatencyFrames)));
        if (pa_stream_write(stream_, data, frames * FrameBytes, nullptr, 0, PA_SEEK_RELATIVE) < 0) return;
        queued += frames;
        writtenFrames_ += frames;
        bytes -= frames * FrameBytes;
    }
}

bool PulseOutput::connect()
{
    if (!client_.waitConnected()) return false;
    const pa_sample_spec format{PA_SAMPLE_S16NE, MusicSampleRate, uint8_t(MusicChannels)};
    stream_ = pa_stream_new(client_.context(), "music", &format, nullptr);
    if (!stream_) return false;
    pa_stream_set_state_callback(stream_, streamState, this);
    pa_stream_set_write_callback(stream_, writeRequest, this);
    pa_buffer_attr attr;
    attr.maxlength = uint32_t(-1);
    attr.tlength = uint32_t(pa_usec_to_bytes(PulseQueueMs * PA_USEC_PER_MSEC, &format));
    attr.prebuf = uint32_t(-1);
    attr.minreq = uint32_t(pa_usec_to_bytes(PulseRefillMs * PA_USEC_PER_MSEC, &format));
    attr.fragsize = uint32_t(-1);
    const auto flags =
        pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_EARLY_REQUESTS);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) return false;
    for (;;) {
        const pa_stream_state_t state = pa_stream_get_state(stream_);
        if (state == PA_STREAM_READY) return true;
        if (!PA_STREAM_IS_GOOD(state)) return false;
        client_.wait();
    }
}

bool PulseOutput::open(StreamPlayer& player, BeforeEachFill beforeEachWrite)
{
    player_ = &player;
    beforeEachWrite_ = beforeEachWrite;
    closing_ = false;
    lost_ = false;
    if (!client_.open("musicout", contextState, this)) return false;
    client_.lock();
    const bool ok = connect();
    playing_ = ok;
    client_.unlock();
    if (!ok) close();
    return ok;
}

void PulseOutput::close()
{
    if (!client_.isOpen()) return;
    closing_ = true;
    client_.close(stream_);
    silence_.close();
}

