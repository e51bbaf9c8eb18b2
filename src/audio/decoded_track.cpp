// DecodedTrack: the decoder run to the end in one go. A track that decodes short of its scanned
// length is padded with silence, as the live player plays silence there.
#include "audio/decoded_track.h"

#include "audio/analyser.h"
#include "audio/music_errors.h"

int decodeTrack(const char* fileName, DecodedTrack& out)
{
    out.samples.clear();
    Mp3Decoder decoder;
    if (const int result = decoder.open(fileName)) return result;
    out.samples.assign(decoder.frames() * MusicChannels, 0.0f);
    uint64_t at = 0;
    while (at < decoder.frames()) {
        const size_t got = decoder.read(&out.samples[at * MusicChannels], size_t(decoder.frames() - at));
        if (got == 0) break;
        at += got;
    }
    if (decoder.error()) {
        out.samples.clear();
        return decoder.error();
    }
    return MusicOk;
}

void spectrumAtFrame(const DecodedTrack& track, uint64_t positionFrame, SpectrumAnalyser& analyser, float* out)
{
    analyseAtFrame(
        analyser, positionFrame, track.frames(),
        [&track](uint64_t first, size_t count, float* dst) {
            for (size_t i = 0; i < count; ++i) dst[i] = track.samples[(first + i) * MusicChannels];
            return true;
        },
        out);
}

void spectrumAt(const DecodedTrack& track, uint32_t positionMs, SpectrumAnalyser& analyser, float* out)
{
    spectrumAtFrame(track, msToFrames(positionMs), analyser, out);
}
