// DecodedTrack: the decoder run in bounded steps, each straight into the samples when both channels
// are kept, or through one step's buffer when only channel 0 is.
#include "audio/decoded_track.h"

#include <algorithm>
#include <limits>

#include "audio/analyser.h"
#include "audio/music_errors.h"

int DecodedTrack::open(const char* fileName, KeptChannels kept, TrackFormat format)
{
    samples.clear();
    slice_.clear();
    kept_ = kept;
    decoded_ = 0;
    done_ = false;
    error_ = MusicOk;
    if (const int result = openTrackDecoder(fileName, decoder_, format)) {
        done_ = true;
        return result;
    }
    samples.assign(size_t(decoder_->frames()) * size_t(kept_), 0.0f);
    return MusicOk;
}

void DecodedTrack::openSilent(uint64_t frames, KeptChannels kept)
{
    decoder_.reset();
    slice_.clear();
    kept_ = kept;
    samples.assign(size_t(frames) * size_t(kept_), 0.0f);
    decoded_ = frames;
    done_ = true;
    error_ = MusicOk;
}

DecodedSlice DecodedTrack::decodeSome(size_t maxFrames)
{
    if (done_ || !decoder_) return {decoded_, 0, nullptr};
    const size_t want = size_t(std::min<uint64_t>(maxFrames, decoder_->frames() - decoded_));
    float* into = nullptr;
    if (kept_ == KeptChannels::Both) {
        into = samples.data() + decoded_ * MusicChannels;
    } else {
        if (slice_.size() < want * MusicChannels) slice_.resize(want * MusicChannels);
        into = slice_.data();
    }
    const size_t got = want ? decoder_->read(into, want) : 0;
    if (kept_ == KeptChannels::First) {
        for (size_t i = 0; i < got; ++i) samples[decoded_ + i] = into[i * MusicChannels];
    }
    const DecodedSlice slice{decoded_, got, into};
    decoded_ += got;
    // Fewer than asked only at the end; what the decoder never gave stays silence.
    if (got < want || want == 0 || decoder_->finished()) {
        error_ = decoder_->error();
        decoder_.reset();
        done_ = true;
    }
    return slice;
}

double DecodedTrack::fractionDone() const
{
    if (done_) return 1.0;
    const uint64_t total = frames();
    return total ? double(decoded_) / double(total) : 1.0;
}

int decodeTrack(const char* fileName, DecodedTrack& out, TrackFormat format)
{
    if (const int result = out.open(fileName, KeptChannels::Both, format)) return result;
    while (!out.done()) out.decodeSome(std::numeric_limits<size_t>::max());
    if (const int result = out.error()) {
        out.samples.clear();
        return result;
    }
    return MusicOk;
}

void DecodedTrack::copyChannel0(uint64_t first, size_t count, float* out) const
{
    const size_t stride = size_t(channels());
    for (size_t i = 0; i < count; ++i) out[i] = samples[(first + i) * stride];
}

void spectrumAtFrame(const DecodedTrack& track, uint64_t positionFrame, SpectrumAnalyser& analyser, float* out)
{
    analyseAtFrame(
        analyser, positionFrame, track.frames(),
        [&track](uint64_t first, size_t count, float* dst) {
            track.copyChannel0(first, count, dst);
            return true;
        },
        out);
}

void spectrumAt(const DecodedTrack& track, uint32_t positionMs, SpectrumAnalyser& analyser, float* out)
{
    spectrumAtFrame(track, msToFrames(positionMs), analyser, out);
}
