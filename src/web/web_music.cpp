// The browser's music player (audio/music_player.h). The track is decoded whole at load (no threads to
// stream it with), a DecodedTrack keeping channel 0 here for the spectrum while each decoded slice's
// two channels go, for the live show, into a Web Audio buffer the page's AudioContext plays. The heard
// frame is the AudioContext's clock less the latency it reports to the speaker, so the picture follows
// what is heard, as on the desktop. The decoded track and the buffer outlive each playing, so the show
// plays again without fetching or decoding anything.
#include "web/web.h"

#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/analyser.h"
#include "audio/cue_finder.h"
#include "audio/decoded_track.h"
#include "audio/listener_track.h"
#include "audio/music.h"
#include "audio/music_errors.h"
#include "audio/music_player.h"

namespace {
constexpr size_t SliceFrames = 4096;

DecodedTrack* track = nullptr;   // channel 0 only: the sound is in the Web Audio buffer
bool withSound = false;          // the track also fills the Web Audio buffer
SpectrumAnalyser* analyser = nullptr;
bool playing = false;
uint64_t lastPlayFrame = 0;
OnsetCurve* pageCurve = nullptr;   // while the page's own track is read in
uint64_t pageRead = 0;             // frames of it read in so far

// The page may not offer Web Audio at all; then there is no buffer to fill, and initMusic says so.
EM_JS(int, audioCreateBuffer, (double frames, int rate), {
    try {
        Module['showAudio'] = {buffer: new AudioBuffer({length: frames, numberOfChannels: 2, sampleRate: rate})};
        return 1;
    } catch (e) {
        Module['showAudio'] = null;
        return 0;
    }
});

EM_JS(void, audioFill, (const float* left, const float* right, int count, double offset), {
    var audio = Module['showAudio'];
    if (!audio) return;
    audio.buffer.copyToChannel(HEAPF32.subarray(left >> 2, (left >> 2) + count), 0, offset);
    audio.buffer.copyToChannel(HEAPF32.subarray(right >> 2, (right >> 2) + count), 1, offset);
});

// The page decoded a listener's track itself, at the show's rate; the show plays that very buffer.
EM_JS(double, pageTrackFrames, (), {
    var track = Module['listenerTrack'];
    return track && track.sampleRate === 44100 ? track.length : 0;
});

EM_JS(void, pageTrackCopy, (double first, int count, float* left, float* right), {
    var track = Module['listenerTrack'];
    var l = track.getChannelData(0), r = track.numberOfChannels > 1 ? track.getChannelData(1) : l;
    HEAPF32.set(l.subarray(first, first + count), left >> 2);
    HEAPF32.set(r.subarray(first, first + count), right >> 2);
});

EM_JS(void, audioUsePageTrack, (), { Module['showAudio'] = {buffer: Module['listenerTrack']}; });

// The page makes the AudioContext in the gesture that starts the show; the buffer starts at once.
EM_JS(int, audioStart, (), {
    var audio = Module['showAudio'];
    var context = Module['audioContext'];
    if (!audio || !context) return 0;
    var source = context.createBufferSource();
    source.buffer = audio.buffer;
    source.connect(context.destination);
    audio.startAt = context.currentTime;
    source.start(audio.startAt);
    audio.source = source;
    audio.seenContextTime = -1;
    audio.seenAt = 0;
    return 1;
});

EM_JS(void, audioStop, (), {
    var audio = Module['showAudio'];
    if (audio && audio.source) {
        audio.source.stop();
        audio.source.disconnect();
        audio.source = null;
    }
    if (Module['audioContext']) Module['audioContext'].close();
});

// currentTime moves in whole render buffers; between two moves the position runs on by the page's
// clock, at most one buffer (baseLatency), as the desktop's position runs on between callbacks.
EM_JS(void, audioClock, (double* out), {
    var audio = Module['showAudio'];
    var context = Module['audioContext'];
    var values = [0, 0, 0, 0];
    if (audio && context && audio.source) {
        var now = performance.now();
        var contextTime = context.currentTime;
        if (contextTime !== audio.seenContextTime) {
            audio.seenContextTime = contextTime;
            audio.seenAt = now;
        }
        var base = context.baseLatency || 0;
        var output = context.outputLatency || 0;
        var ahead = context.state === 'running' ? Math.min((now - audio.seenAt) / 1000, base) : 0;
        values = [contextTime, base, output, contextTime + ahead - audio.startAt - base - output];
    }
    for (var i = 0; i < 4; i++) HEAPF64[(out >> 3) + i] = values[i];
});

uint64_t heardFrame()
{
    const double seconds = readAudioClock().heardSeconds;
    const uint64_t frame = seconds > 0 ? uint64_t(seconds * MusicSampleRate) : 0;
    lastPlayFrame = std::min(std::max(lastPlayFrame, frame), track ? track->frames() : 0);
    return lastPlayFrame;
}

SpectrumAnalyser& theAnalyser()
{
    if (!analyser) analyser = new SpectrumAnalyser;
    return *analyser;
}

// Plays the track loaded before it (openTrack or openPageTrack, then decodeTrackSlice).
class WebAudioPlayer final : public MusicPlayer {
public:
    ~WebAudioPlayer() override { stop(); }

    int start(const char* fileName, TrackFormat) override
    {
        if (!track) {
            if (const int result = openTrack(fileName, true)) return result;
        }
        while (decodeTrackSlice(1000.0) < 1.0) {
        }
        if (!withSound) return AudioSystemUnavailable;
        if (!audioStart()) return AudioDeviceUnavailable;
        playing = true;
        lastPlayFrame = 0;
        return MusicOk;
    }
    uint64_t trackFrames() const override { return track->frames(); }
    uint64_t playFrame() override { return heardFrame(); }
    bool readChannel0(uint64_t first, size_t count, float* out) const override
    {
        track->copyChannel0(first, count, out);
        return true;
    }
    int error() const override { return track->error(); }
    void stop() override
    {
        if (playing) audioStop();
        playing = false;
    }
};
}  // namespace

std::unique_ptr<MusicPlayer> makeMusicPlayer() { return std::make_unique<WebAudioPlayer>(); }

// A listener's file is decoded by the page (openPageTrack), never by a decoder here.
std::unique_ptr<TrackDecoder> makeAnyFormatDecoder() { return nullptr; }

int openTrack(const char* fileName, bool audible)
{
    delete pageCurve;
    pageCurve = nullptr;
    delete track;
    track = new DecodedTrack;
    withSound = false;
    if (const int result = track->open(fileName, KeptChannels::First)) return result;
    withSound = audible && audioCreateBuffer(double(track->frames()), MusicSampleRate);
    return MusicOk;
}

int openPageTrack(bool audible)
{
    delete track;
    track = new DecodedTrack;
    const double frames = pageTrackFrames();
    if (!(frames > 0)) return TrackHoldsNoSound;
    if (frames / MusicSampleRate > MaxTrackSeconds) return TrackTooLong;
    track->openSilent(uint64_t(frames), KeptChannels::First);
    withSound = audible;
    if (audible) audioUsePageTrack();
    delete pageCurve;
    pageCurve = new OnsetCurve;
    pageRead = 0;
    return MusicOk;
}

int pageTrackCues(std::vector<float>& cues) { return cuesOfCurve(*pageCurve, cues); }

TempoEstimate pageTrackTempo() { return estimateTempo(*pageCurve); }

namespace {
// One slice of the page's track: channel 0 into the decoded track, both into the onset curve.
void readPageSlice(std::vector<float>& left, std::vector<float>& right)
{
    static std::vector<float> stereo(2 * SliceFrames);
    const size_t count = size_t(std::min<uint64_t>(SliceFrames, track->frames() - pageRead));
    pageTrackCopy(double(pageRead), int(count), left.data(), right.data());
    for (size_t i = 0; i < count; ++i) {
        track->samples[pageRead + i] = left[i];
        stereo[2 * i] = left[i];
        stereo[2 * i + 1] = right[i];
    }
    pageCurve->add(stereo.data(), count);
    pageRead += count;
}
}  // namespace

double decodeTrackSlice(double budgetMs)
{
    if (!track) checkFmod(MusicNotOpen);
    static std::vector<float> left(SliceFrames), right(SliceFrames);
    const double until = emscripten_get_now() + budgetMs;
    if (pageCurve) {
        while (pageRead < track->frames() && emscripten_get_now() < until) readPageSlice(left, right);
        return track->frames() ? double(pageRead) / double(track->frames()) : 1.0;
    }
    while (!track->done() && emscripten_get_now() < until) {
        const DecodedSlice slice = track->decodeSome(SliceFrames);
        if (!withSound || slice.frames == 0) continue;
        for (size_t i = 0; i < slice.frames; ++i) {
            left[i] = slice.stereo[2 * i];
            right[i] = slice.stereo[2 * i + 1];
        }
        audioFill(left.data(), right.data(), int(slice.frames), double(slice.firstFrame));
    }
    if (track->done()) checkFmod(track->error());
    return track->fractionDone();
}

size_t decodedTrackBytes() { return track ? track->samples.capacity() * sizeof(float) : 0; }

uint32_t decodedLengthMs() { return track ? track->lengthMs() : 0; }

void decodedSpectrumAt(uint32_t positionMs, float* out) { spectrumAt(*track, positionMs, theAnalyser(), out); }

AudioClockReading readAudioClock()
{
    double values[4];
    audioClock(values);
    return {values[0], values[1], values[2], values[3]};
}
