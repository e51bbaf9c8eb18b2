// StreamPlayer. The decoder thread polls the ring every few milliseconds instead of being woken by
// the callback: waking it would mean a syscall or a lock in the callback, and 1.5 s of samples ahead
// makes a short sleep harmless.
#include "desktop/stream_player.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <system_error>

#include "audio/music_errors.h"

namespace {
constexpr auto DecoderNap = std::chrono::milliseconds(5);
}  // namespace

uint64_t estimatePlayFrame(const TapReading& reading, int64_t nowNs)
{
    if (reading.timeNs == 0) return 0;   // nothing handed over yet
    const int64_t sinceNs = std::max<int64_t>(0, nowNs - reading.timeNs);
    const double advanced = double(sinceNs) * MusicSampleRate / 1e9;
    const double heard = double(reading.frames) - double(reading.latencyFrames) + advanced;
    if (heard <= 0) return 0;
    return std::min(reading.frames, uint64_t(heard));
}

int16_t toDeviceSample(float sample)
{
    // Rounding by hand (half away from zero) compiles to a few instructions; std::nearbyint is a libm
    // call per sample on plain x86-64 and was most of the callback's time.
    const float scaled = std::clamp(sample * 32768.0f, -32768.0f, 32767.0f);
    return int16_t(scaled < 0 ? scaled - 0.5f : scaled + 0.5f);
}

int64_t steadyNowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

StreamPlayer::StreamPlayer()
    : ring_(RingFrames * MusicChannels),
      decodeBuffer_(DecodeChunkFrames * MusicChannels),
      callbackBuffer_(MaxCallbackFrames * MusicChannels)
{
}

StreamPlayer::~StreamPlayer() { stop(); }

int StreamPlayer::open(const char* fileName, TrackFormat format)
{
    const int result = openTrackDecoder(fileName, decoder_, format);
    trackFrames_ = decoder_ ? decoder_->frames() : 0;
    return result;
}

bool StreamPlayer::decodeStep()
{
    if (allDecoded_.load(std::memory_order_relaxed) || !decoder_) return false;
    if (decoder_->finished()) {
        decodeError_.store(decoder_->error(), std::memory_order_release);
        allDecoded_.store(true, std::memory_order_release);
        return false;
    }
    if (ring_.writable() < DecodeChunkFrames * MusicChannels) return false;
    const size_t got = decoder_->read(decodeBuffer_.data(), DecodeChunkFrames);
    ring_.write(decodeBuffer_.data(), got * MusicChannels);   // fits: checked above, and only we write
    return true;
}

void StreamPlayer::prefill(size_t frames)
{
    while (ring_.readable() < frames * MusicChannels && decodeStep()) {
    }
}

int StreamPlayer::startDecoderThread()
{
    try {
        decoderThread_ = std::thread([this] {
            pthread_setname_np(pthread_self(), "musicdecode");
            while (!stopping_.load(std::memory_order_acquire) && !allDecoded_.load(std::memory_order_relaxed)) {
                if (!decodeStep()) std::this_thread::sleep_for(DecoderNap);
            }
        });
    } catch (const std::system_error&) {
        return DecoderThreadFailed;
    }
    return MusicOk;
}

void StreamPlayer::stop()
{
    stopping_.store(true, std::memory_order_release);
    if (decoderThread_.joinable()) decoderThread_.join();
    decoder_.reset();
}

void StreamPlayer::fill(int16_t* out, size_t frames, int64_t nowNs, uint32_t queuedFrames)
{
    uint64_t latency = queuedFrames;
    while (frames > 0) {
        const size_t piece = std::min(frames, MaxCallbackFrames);
        // Read the flag before the ring: if everything was decoded by then, a short read is the end of
        // the track, not a decoder running late.
        const bool ended = allDecoded_.load(std::memory_order_acquire);
        const size_t got = ring_.read(callbackBuffer_.data(), piece * MusicChannels) / MusicChannels;
        for (size_t i = 0; i < got * MusicChannels; ++i) out[i] = toDeviceSample(callbackBuffer_[i]);
        std::fill(out + got * MusicChannels, out + piece * MusicChannels, int16_t(0));
        tap_.append(callbackBuffer_.data(), got, MusicChannels);
        // Silence after the end counts as played so the position can reach the length; silence from
        // an underrun does not, so the position keeps following the music.
        if (ended) {
            tap_.appendSilence(piece - got);
        } else if (got < piece) {
            underrunFrames_.fetch_add(piece - got, std::memory_order_relaxed);
        }
        latency += piece;
        tap_.publish(nowNs, uint32_t(std::min<uint64_t>(latency, MaxLatencyFrames)));
        out += piece * MusicChannels;
        frames -= piece;
    }
}

uint64_t StreamPlayer::playFrame(int64_t nowNs)
{
    const uint64_t estimate = std::min(estimatePlayFrame(tap_.latest(), nowNs), trackFrames_);
    lastPlayFrame_ = std::max(lastPlayFrame_, estimate);
    return lastPlayFrame_;
}

