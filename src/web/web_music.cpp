// The show's music in a browser. Our own decoder decodes the track whole at load (no threads to
// stream it with), into channel 0 kept here for the spectrum and, for the live show, a Web Audio
// buffer the page's AudioContext plays. The play position is the AudioContext's clock less the
// latency it reports to the speaker, so the picture follows what is heard, as on the desktop; the
// spectrum is analysed from the decoded samples at that position, the samples being played.
#include "web/web.h"

#include <emscripten.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/analyser.h"
#include "audio/mp3_decoder.h"
#include "audio/music.h"
#include "audio/music_errors.h"

float spectrum[SpectrumSize];

namespace {
constexpr size_t SliceFrames = 4096;

struct LoadedTrack {
    Mp3Decoder decoder;
    std::vector<float> channel0;   // the whole track, 44.1 kHz
    uint64_t decoded = 0;          // frames so far
    bool audible = false;
    bool done = false;
};

LoadedTrack* track = nullptr;
SpectrumAnalyser* analyser = nullptr;
bool playing = false;
uint64_t lastPlayFrame = 0;

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
    lastPlayFrame = std::min(std::max(lastPlayFrame, frame), track ? track->decoder.frames() : 0);
    return lastPlayFrame;
}

void analyseAt(uint64_t frame, float* out)
{
    if (!analyser) analyser = new SpectrumAnalyser;
    analyseAtFrame(
        *analyser, frame, track->decoder.frames(),
        [](uint64_t first, size_t count, float* dst) {
            std::copy_n(track->channel0.data() + first, count, dst);
            return true;
        },
        out);
}
}  // namespace

void haltPlayback()
{
    if (playing) audioStop();
    playing = false;
}

int openTrack(const char* fileName, bool audible)
{
    delete track;
    track = new LoadedTrack;
    if (const int result = track->decoder.open(fileName)) return result;
    track->audible = audible && audioCreateBuffer(double(track->decoder.frames()), MusicSampleRate);
    track->channel0.assign(size_t(track->decoder.frames()), 0.0f);
    return MusicOk;
}

double decodeTrackSlice(double budgetMs)
{
    if (!track) checkFmod(MusicNotOpen);
    static std::vector<float> interleaved(SliceFrames * MusicChannels), left(SliceFrames), right(SliceFrames);
    const uint64_t total = track->decoder.frames();
    const double until = emscripten_get_now() + budgetMs;
    while (!track->done && emscripten_get_now() < until) {
        const size_t got = track->decoder.read(interleaved.data(), SliceFrames);
        for (size_t i = 0; i < got; ++i) {
            left[i] = interleaved[2 * i];
            right[i] = interleaved[2 * i + 1];
        }
        std::copy_n(left.data(), got, track->channel0.data() + track->decoded);
        if (track->audible && got) audioFill(left.data(), right.data(), int(got), double(track->decoded));
        track->decoded += got;
        // A track that decodes short of its scanned length plays silence there, as on the desktop.
        if (got == 0 || track->decoder.finished()) track->done = true;
    }
    if (track->done) checkFmod(track->decoder.error());
    return track->done ? 1.0 : total ? double(track->decoded) / double(total) : 1.0;
}

size_t decodedTrackBytes() { return track ? track->channel0.capacity() * sizeof(float) : 0; }

uint32_t decodedLengthMs() { return track ? framesToMs(track->decoder.frames()) : 0; }

void decodedSpectrumAt(uint32_t positionMs, float* out) { analyseAt(msToFrames(positionMs), out); }

AudioClockReading readAudioClock()
{
    double values[4];
    audioClock(values);
    return {values[0], values[1], values[2], values[3]};
}

void initMusic(const char* fileName)
{
    if (playing) checkFmod(MusicAlreadyOpen);
    if (!track) checkFmod(openTrack(fileName, true));
    while (decodeTrackSlice(1000.0) < 1.0) {
    }
    if (!track->audible) checkFmod(AudioSystemUnavailable);
    if (!audioStart()) checkFmod(AudioDeviceUnavailable);
    playing = true;
    lastPlayFrame = 0;
}

void fetchSpectrum()
{
    if (!track) checkFmod(MusicNotOpen);
    analyseAt(heardFrame(), spectrum);
}

uint32_t musicPosition() { return playing ? framesToMs(heardFrame()) : framesToMs(lastPlayFrame); }

uint32_t musicLength() { return track ? framesToMs(track->decoder.frames()) : 0; }

void closeMusic()
{
    if (!track) checkFmod(MusicNotOpen);
    haltPlayback();
}
