// readListenerTrack: one pass over the decoder, through DecodedTrack when the samples are kept; the
// tempo comes from the same onset curve as the cues.
#include "audio/listener_track.h"

#include <memory>

#include "audio/cue_finder.h"
#include "audio/music_errors.h"

std::string cantPlayLine(const char* program, const std::string& fileName, int error)
{
    return (program ? std::string(program) + ": " : std::string()) + "can't play '" + fileName + "': " +
           musicErrorText(error);
}

int cuesOfCurve(const OnsetCurve& curve, std::vector<float>& cues)
{
    cues.clear();
    if (!(curve.peak() >= SilentPeak)) return TrackSilent;
    cues = findCues(curve);
    return MusicOk;
}

int readListenerTrack(const char* fileName, DecodedTrack* keep, std::vector<float>& cues,
                      const std::function<void(double fraction)>& progress, TrackFindings* findings)
{
    cues.clear();
    OnsetCurve curve;
    int result = MusicOk;
    uint64_t stated = 0;   // the track's length in frames, as the player will report it
    if (keep) {
        if ((result = keep->open(fileName, KeptChannels::Both, TrackFormat::AnyFormat))) return result;
        while (!keep->done()) {
            const DecodedSlice slice = keep->decodeSome(ListenerStepFrames);
            curve.add(slice.stereo, slice.frames);
            if (progress) progress(keep->fractionDone());
        }
        result = keep->error();
        stated = keep->frames();
        if (result) keep->samples.clear();
    } else {
        std::unique_ptr<TrackDecoder> decoder;
        if ((result = openTrackDecoder(fileName, decoder, TrackFormat::AnyFormat))) return result;
        std::vector<float> step(ListenerStepFrames * MusicChannels);
        uint64_t decoded = 0;
        while (!decoder->finished()) {
            const size_t got = decoder->read(step.data(), ListenerStepFrames);
            curve.add(step.data(), got);
            decoded += got;
            if (progress) progress(decoder->frames() ? double(decoded) / double(decoder->frames()) : 1.0);
            if (got == 0) break;
        }
        result = decoder->error();
        stated = decoder->frames();
    }
    if (result) return result;
    if ((result = cuesOfCurve(curve, cues))) return result;
    if (findings) {
        findings->tempo = estimateTempo(curve);
        findings->lengthMs = framesToMs(stated);
    }
    return MusicOk;
}
