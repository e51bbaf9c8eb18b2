// SndfileDecoder over libsndfile and libsamplerate. libsndfile's own length (exact for every format
// here, MP3 through its LAME or Xing header) fixes the length at open; a file that then ends well
// before it is called truncated rather than played out in silence.
#include "desktop/sndfile_decoder.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "audio/music_errors.h"

namespace {
constexpr size_t BlockFrames = 4096;            // input frames per refill
constexpr uint64_t ShortfallAllowed = 11025;    // frames (0.25 s) a file may end before its stated length (estimated lengths)
constexpr float CentreWeight = 0.70710678f;     // -3 dB into each side

// What the file's first bytes say it is. libsndfile's last resort for a file it does not recognise
// is libmpg123's resync, which prints its notes on standard error; a file with none of these
// beginnings is called not audio without asking it.
enum class Head { NotAudio, Ogg, Audio };

Head headOf(const char* fileName)
{
    char head[12] = {};
    std::ifstream in(fileName, std::ios::binary);
    in.read(head, sizeof head);
    const std::string h(head, size_t(in.gcount()));
    if (h.compare(0, 4, "OggS") == 0) return Head::Ogg;
    for (const char* magic : {"RIFF", "RIFX", "RF64", "BW64", "FORM", "fLaC", "ID3", ".snd", "caff", "riff"})
        if (h.compare(0, std::strlen(magic), magic) == 0) return Head::Audio;
    // An MPEG audio frame's sync: eleven bits set.
    return h.size() >= 2 && uint8_t(h[0]) == 0xFF && (uint8_t(h[1]) & 0xE0) == 0xE0 ? Head::Audio : Head::NotAudio;
}

SNDFILE* fileOf(void* f) { return static_cast<SNDFILE*>(f); }
SRC_STATE* resamplerOf(void* r) { return static_cast<SRC_STATE*>(r); }

enum class Side { Left, Right, Both, None };

Side sideOf(int position)
{
    switch (position) {
    case SF_CHANNEL_MAP_LEFT: case SF_CHANNEL_MAP_FRONT_LEFT: case SF_CHANNEL_MAP_REAR_LEFT:
    case SF_CHANNEL_MAP_FRONT_LEFT_OF_CENTER: case SF_CHANNEL_MAP_SIDE_LEFT: case SF_CHANNEL_MAP_TOP_FRONT_LEFT:
    case SF_CHANNEL_MAP_TOP_REAR_LEFT:
        return Side::Left;
    case SF_CHANNEL_MAP_RIGHT: case SF_CHANNEL_MAP_FRONT_RIGHT: case SF_CHANNEL_MAP_REAR_RIGHT:
    case SF_CHANNEL_MAP_FRONT_RIGHT_OF_CENTER: case SF_CHANNEL_MAP_SIDE_RIGHT: case SF_CHANNEL_MAP_TOP_FRONT_RIGHT:
    case SF_CHANNEL_MAP_TOP_REAR_RIGHT:
        return Side::Right;
    case SF_CHANNEL_MAP_LFE: return Side::None;
    default: return Side::Both;   // centre, mono, rear or top centre, ambisonic, unnamed
    }
}

// The layouts files use when they name no positions, up to 8 channels.
std::vector<int> defaultMap(int channels, bool vorbisOrder)
{
    constexpr int L = SF_CHANNEL_MAP_FRONT_LEFT, R = SF_CHANNEL_MAP_FRONT_RIGHT, C = SF_CHANNEL_MAP_FRONT_CENTER,
                  E = SF_CHANNEL_MAP_LFE, RL = SF_CHANNEL_MAP_REAR_LEFT, RR = SF_CHANNEL_MAP_REAR_RIGHT,
                  SL = SF_CHANNEL_MAP_SIDE_LEFT, SR = SF_CHANNEL_MAP_SIDE_RIGHT, RC = SF_CHANNEL_MAP_REAR_CENTER;
    static const std::vector<int> vorbis[9] = {{}, {C}, {L, R}, {L, C, R}, {L, R, RL, RR}, {L, C, R, RL, RR},
                                               {L, C, R, RL, RR, E}, {L, C, R, SL, SR, RC, E},
                                               {L, C, R, SL, SR, RL, RR, E}};
    static const std::vector<int> wave[9] = {{}, {C}, {L, R}, {L, R, C}, {L, R, RL, RR}, {L, R, C, RL, RR},
                                             {L, R, C, E, RL, RR}, {L, R, C, E, RC, SL, SR},
                                             {L, R, C, E, RL, RR, SL, SR}};
    if (channels <= 8) return vorbisOrder ? vorbis[channels] : wave[channels];
    return std::vector<int>(size_t(channels), SF_CHANNEL_MAP_INVALID);
}
}  // namespace

StereoWeights stereoWeights(int channels, const std::vector<int>& channelMap, bool vorbisOrder)
{
    StereoWeights w;
    w.left.assign(size_t(channels), 0.0f);
    w.right.assign(size_t(channels), 0.0f);
    if (channels == 1) {
        w.left[0] = w.right[0] = 1.0f;
        return w;
    }
    if (channels == 2 && channelMap.empty()) {
        w.left[0] = w.right[1] = 1.0f;
        return w;
    }
    const std::vector<int> map = channelMap.size() == size_t(channels) ? channelMap : defaultMap(channels, vorbisOrder);
    float leftSum = 0, rightSum = 0;
    for (size_t c = 0; c < size_t(channels); ++c) {
        const Side side = sideOf(map[c]);
        if (side == Side::Left) w.left[c] = 1.0f;
        if (side == Side::Right) w.right[c] = 1.0f;
        if (side == Side::Both) w.left[c] = w.right[c] = CentreWeight;
        leftSum += w.left[c];
        rightSum += w.right[c];
    }
    // A file of LFE channels only has no weight on a side: then every channel counts alike.
    if (leftSum == 0 || rightSum == 0) {
        w.left.assign(size_t(channels), 1.0f / float(channels));
        w.right = w.left;
        return w;
    }
    for (size_t c = 0; c < size_t(channels); ++c) {
        w.left[c] /= leftSum;
        w.right[c] /= rightSum;
    }
    return w;
}

std::unique_ptr<TrackDecoder> makeAnyFormatDecoder() { return std::make_unique<SndfileDecoder>(); }

SndfileDecoder::~SndfileDecoder() { close(); }

int SndfileDecoder::open(const char* fileName)
{
    close();
    if (const int fileError = checkTrackFile(fileName)) return fileError;
    const Head head = headOf(fileName);
    if (head == Head::NotAudio) return TrackNotAudio;
    SF_INFO info;
    std::memset(&info, 0, sizeof info);
    SNDFILE* file = sf_open(fileName, SFM_READ, &info);
    if (!file) {
        const int why = sf_error(nullptr);
        if (why == SF_ERR_SYSTEM) return TrackUnreadable;
        if (why == SF_ERR_MALFORMED_FILE) return TrackEndsEarly;
        // An Ogg file of other streams only (video, subtitles) has none libsndfile decodes.
        return head == Head::Ogg ? TrackHoldsNoSound : TrackNotAudio;
    }
    file_ = file;
    if (info.channels <= 0 || info.samplerate <= 0 || info.frames <= 0) {
        close();
        return TrackHoldsNoSound;
    }
    // Cut short, a WAV's data chunk claims more than the file holds (libsndfile plays what is there
    // and says so in its log), and an Ogg stream has no last page to give its length.
    char log[2048] = {};
    sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
    if (info.frames == SF_COUNT_MAX || std::strstr(log, "(should be")) {
        close();
        return TrackEndsEarly;
    }
    if (double(info.frames) / info.samplerate > MaxTrackSeconds) {
        close();
        return TrackTooLong;
    }
    channels_ = info.channels;
    inputFrames_ = uint64_t(info.frames);
    std::vector<int> map(static_cast<size_t>(channels_));
    if (sf_command(file, SFC_GET_CHANNEL_MAP_INFO, map.data(), int(sizeof(int) * map.size())) != SF_TRUE) map.clear();
    const int container = info.format & SF_FORMAT_TYPEMASK;
    weights_ = stereoWeights(channels_, map, container == SF_FORMAT_OGG);
    raw_.resize(BlockFrames * size_t(channels_));
    stereo_.resize(BlockFrames * MusicChannels);

    if (info.samplerate != MusicSampleRate) {
        int error = 0;
        resampler_ = src_new(SRC_SINC_MEDIUM_QUALITY, MusicChannels, &error);
        if (!resampler_) {
            close();
            return ResamplerUnavailable;
        }
        ratio_ = double(MusicSampleRate) / info.samplerate;
    }
    frames_ = inputFrames_ * MusicSampleRate / uint64_t(info.samplerate);
    return MusicOk;
}

void SndfileDecoder::close()
{
    if (file_) sf_close(fileOf(file_));
    file_ = nullptr;
    if (resampler_) src_delete(resamplerOf(resampler_));
    resampler_ = nullptr;
    channels_ = 0;
    ratio_ = 1;
    inputFrames_ = inputRead_ = 0;
    inputEnded_ = false;
    pending_.clear();
    pendingAt_ = 0;
    frames_ = delivered_ = 0;
    finished_ = false;
    error_ = MusicOk;
}

bool SndfileDecoder::refill()
{
    pending_.clear();
    pendingAt_ = 0;
    if (inputEnded_) return false;
    const sf_count_t got = sf_readf_float(fileOf(file_), raw_.data(), sf_count_t(BlockFrames));
    const size_t n = got > 0 ? size_t(got) : 0;
    inputRead_ += n;
    if (n < BlockFrames) {
        inputEnded_ = true;
        if (sf_error(fileOf(file_)) != SF_ERR_NO_ERROR) error_ = DecodeFailed;
        else if (inputRead_ + ShortfallAllowed < inputFrames_) error_ = TrackEndsEarly;
    }
    const size_t ch = size_t(channels_);
    for (size_t f = 0; f < n; ++f) {
        float l = 0, r = 0;
        for (size_t c = 0; c < ch; ++c) {
            const float v = raw_[f * ch + c];
            l += weights_.left[c] * v;
            r += weights_.right[c] * v;
        }
        stereo_[2 * f] = l;
        stereo_[2 * f + 1] = r;
    }
    if (!resampler_) {
        pending_.assign(stereo_.begin(), stereo_.begin() + std::ptrdiff_t(n * MusicChannels));
        return n > 0;
    }
    // Everything the resampler gives for this block, and at the end of input its tail as well.
    SRC_DATA data;
    std::memset(&data, 0, sizeof data);
    data.src_ratio = ratio_;
    data.end_of_input = inputEnded_ ? 1 : 0;
    size_t used = 0;
    std::vector<float> out(size_t(double(BlockFrames) * ratio_ + 64) * MusicChannels);
    for (;;) {
        data.data_in = stereo_.data() + used * MusicChannels;
        data.input_frames = long(n - used);
        data.data_out = out.data();
        data.output_frames = long(out.size() / MusicChannels);
        if (src_process(resamplerOf(resampler_), &data) != 0) {
            error_ = DecodeFailed;
            inputEnded_ = true;
            break;
        }
        used += size_t(data.input_frames_used);
        pending_.insert(pending_.end(), out.begin(), out.begin() + data.output_frames_gen * MusicChannels);
        if (used >= n && (!inputEnded_ || data.output_frames_gen == 0)) break;
    }
    return !pending_.empty();
}

size_t SndfileDecoder::read(float* out, size_t maxFrames)
{
    if (!file_ || finished_) return 0;
    // Never more than the length promised at open; a resampler's last frame or two short of it are
    // silence, the way a decoder's own rounding would be.
    maxFrames = size_t(std::min<uint64_t>(maxFrames, frames_ - delivered_));
    size_t got = 0;
    bool failed = false;
    while (got < maxFrames) {
        const size_t ready = pending_.size() / MusicChannels - pendingAt_;
        if (ready == 0) {
            if (refill()) continue;
            failed = error_ != MusicOk;
            if (failed) break;
            std::fill(out + got * MusicChannels, out + maxFrames * MusicChannels, 0.0f);
            got = maxFrames;
            break;
        }
        const size_t take = std::min(ready, maxFrames - got);
        std::copy_n(pending_.data() + pendingAt_ * MusicChannels, take * MusicChannels, out + got * MusicChannels);
        pendingAt_ += take;
        got += take;
    }
    delivered_ += got;
    if (delivered_ == frames_ || failed) finished_ = true;
    return got;
}

std::string listenerDecoderVersions()
{
    const std::string samplerate = src_get_version();
    return std::string(sf_version_string()) + ", " + samplerate.substr(0, samplerate.find(' '));
}
