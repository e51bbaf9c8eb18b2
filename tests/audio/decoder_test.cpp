// Mp3Decoder and DecodedTrack: exact lengths, conversion of other rates and mono to 44.1 kHz stereo,
// decoding in bounded steps, truncated and damaged files, and an error code naming each kind of bad file;
// a listener's track in every common format, rate and channel count, and its own bad files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include "desktop/sndfile_decoder.h"
#include "support/process.h"

#include "audio/analyser.h"
#include "audio/decoded_track.h"
#include "audio/mp3_decoder.h"
#include "audio/music_errors.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"

namespace {
int peakEntry(const float* bins)
{
    return int(std::max_element(bins, bins + 128) - bins);
}

std::string randomBytes(size_t n, unsigned seed)
{
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = char(g());
    return s;
}
}  // namespace

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(lameMissing(), ""); }
    TempDir dir;
};

TEST_F(DecoderTest, SixSecondTrackIsSixSecondsToTheMillisecond)
{
    const std::string track = makeToneMp3(dir.path(), "six.mp3", Tone{});
    Mp3Decoder decoder;
    ASSERT_EQ(decoder.open(track.c_str()), MusicOk);
    EXPECT_NEAR(double(decoder.frames()) * 1000.0 / MusicSampleRate, 6000.0, 1.0);
    DecodedTrack decoded;
    ASSERT_EQ(decodeTrack(track.c_str(), decoded), MusicOk);
    EXPECT_EQ(decoded.frames(), decoder.frames()) << "the scan and a full decode agree";
    EXPECT_NEAR(decoded.lengthMs(), 6000, 1);
}

// The browser decodes in steps and keeps only channel 0; the tools decode in one go. Same samples.
TEST_F(DecoderTest, BoundedStepsGiveExactlyTheWholeDecode)
{
    const std::string track = makeToneMp3(dir.path(), "steps.mp3", Tone{2, 44100, 2, 345, 1000});   // 2 s, channels apart
    DecodedTrack whole;
    ASSERT_EQ(decodeTrack(track.c_str(), whole), MusicOk);
    const struct {
        size_t step;
        KeptChannels kept;
    } cases[] = {{1, KeptChannels::Both}, {441, KeptChannels::First}, {4096, KeptChannels::First},
                 {1 << 20, KeptChannels::Both}, {1 << 20, KeptChannels::First}};
    SpectrumAnalyser analyser;
    for (const auto& c : cases) {
        DecodedTrack stepped;
        ASSERT_EQ(stepped.open(track.c_str(), c.kept), MusicOk);
        ASSERT_EQ(stepped.frames(), whole.frames());
        const int channels = int(c.kept);
        uint64_t at = 0;
        double fraction = 0;
        while (!stepped.done()) {
            const DecodedSlice slice = stepped.decodeSome(c.step);
            ASSERT_EQ(slice.firstFrame, at);
            ASSERT_LE(slice.frames, c.step);
            for (size_t i = 0; i < slice.frames * MusicChannels; ++i) {
                ASSERT_EQ(slice.stereo[i], whole.samples[at * MusicChannels + i]) << "step " << c.step << " at " << at;
            }
            at += slice.frames;
            ASSERT_GE(stepped.fractionDone(), fraction);
            fraction = stepped.fractionDone();
        }
        EXPECT_EQ(at, whole.frames()) << "step " << c.step;
        EXPECT_EQ(stepped.fractionDone(), 1.0);
        EXPECT_EQ(stepped.error(), MusicOk);
        for (uint64_t f = 0; f < whole.frames(); ++f) {
            for (int ch = 0; ch < channels; ++ch) {
                ASSERT_EQ(stepped.samples[f * channels + ch], whole.samples[f * MusicChannels + ch]) << "frame " << f;
            }
        }
        float a[AnalysisBins], b[AnalysisBins];
        spectrumAt(stepped, 1234, analyser, a);
        spectrumAt(whole, 1234, analyser, b);
        for (int k = 0; k < AnalysisBins; ++k) ASSERT_EQ(a[k], b[k]) << "entry " << k;
    }
}

TEST_F(DecoderTest, OtherRatesAndMonoComeOutAsStereoAt44100)
{
    Tone at48;
    at48.sampleRate = 48000;
    DecodedTrack decoded;
    ASSERT_EQ(decodeTrack(makeToneMp3(dir.path(), "48.mp3", at48).c_str(), decoded), MusicOk);
    EXPECT_NEAR(decoded.lengthMs(), 6000, 1);
    SpectrumAnalyser analyser;
    float bins[AnalysisBins];
    spectrumAt(decoded, 3000, analyser, bins);
    EXPECT_EQ(peakEntry(bins), 2) << "172 Hz stays 172 Hz after resampling";

    Tone mono;
    mono.sampleRate = 22050;
    mono.channels = 1;
    mono.leftHz = 345;
    ASSERT_EQ(decodeTrack(makeToneMp3(dir.path(), "mono.mp3", mono).c_str(), decoded), MusicOk);
    // lame's MPEG-2 files carry no gapless trim that libmpg123 applies: encoder delay and padding stay.
    EXPECT_NEAR(decoded.lengthMs(), 6000, 100);
    for (size_t f = 0; f < decoded.frames(); f += 997) {
        ASSERT_EQ(decoded.samples[2 * f], decoded.samples[2 * f + 1]) << "mono goes to both channels";
    }
    spectrumAt(decoded, 3000, analyser, bins);
    EXPECT_EQ(peakEntry(bins), 4);
}

TEST_F(DecoderTest, TruncatedFileIsAsLongAsWhatPlays)
{
    const std::string whole = makeToneMp3(dir.path(), "whole.mp3", Tone{});
    const std::string half = dir.file("half.mp3");
    const std::string bytes = readFile(whole);
    writeFile(half, bytes.substr(0, bytes.size() / 2));
    Mp3Decoder decoder;
    ASSERT_EQ(decoder.open(half.c_str()), MusicOk);
    const uint64_t scanned = decoder.frames();
    EXPECT_GT(scanned, uint64_t(2.5 * MusicSampleRate));
    EXPECT_LT(scanned, uint64_t(3.5 * MusicSampleRate));
    std::vector<float> chunk(2 * 3000);
    uint64_t played = 0;
    while (size_t got = decoder.read(chunk.data(), 3000)) played += got;
    EXPECT_EQ(played, scanned);
    EXPECT_EQ(decoder.error(), MusicOk);
}

TEST_F(DecoderTest, EachKindOfBadFileHasItsOwnCode)
{
    writeFile(dir.file("empty.mp3"), "");
    writeFile(dir.file("text.mp3"), "This is not music, just a few lines of text.\nSecond line.\n");
    writeFile(dir.file("noise.mp3"), randomBytes(100000, 7));
    std::filesystem::create_directory(dir.file("folder.mp3"));
    const struct {
        std::string path;
        int code;
        int anyFormat;   // the same file as a listener's track (libsndfile)
    } cases[] = {
        {dir.file("missing.mp3"), TrackNotFound, TrackNotFound},
        {dir.file("empty.mp3/inside.mp3"), TrackNotFound, TrackNotFound},
        {dir.file("empty.mp3"), TrackEmpty, TrackEmpty},
        {dir.file("folder.mp3"), TrackUnreadable, TrackUnreadable},
        {dir.file("text.mp3"), TrackNotMpeg, TrackNotAudio},
        {dir.file("noise.mp3"), TrackNotMpeg, TrackNotAudio},
    };
    for (const auto& c : cases) {
        Mp3Decoder decoder;
        EXPECT_EQ(decoder.open(c.path.c_str()), c.code) << c.path;
        DecodedTrack decoded;
        EXPECT_EQ(decodeTrack(c.path.c_str(), decoded), c.code) << c.path;
        EXPECT_TRUE(decoded.samples.empty());
        EXPECT_EQ(decodeTrack(c.path.c_str(), decoded, TrackFormat::AnyFormat), c.anyFormat) << c.path;
        EXPECT_TRUE(decoded.samples.empty());
    }
    EXPECT_STRNE(musicErrorText(TrackNotFound), musicErrorText(TrackEmpty));
    EXPECT_STREQ(musicErrorText(9999), "Unknown error.");
}

TEST_F(DecoderTest, DamageFoundWhileDecodingIsAnError)
{
    const std::string track = makeToneMp3(dir.path(), "damaged.mp3", Tone{});
    Mp3Decoder decoder;
    ASSERT_EQ(decoder.open(track.c_str()), MusicOk);
    // Overwrite the back 60 % after the scan, as a file damaged under a running player would be.
    const size_t size = size_t(std::filesystem::file_size(track));
    {
        std::fstream f(track, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff(size * 4 / 10));
        const std::string noise = randomBytes(size - size * 4 / 10, 3);
        f.write(noise.data(), std::streamsize(noise.size()));
    }
    std::vector<float> chunk(2 * 4096);
    uint64_t played = 0;
    while (size_t got = decoder.read(chunk.data(), 4096)) played += got;
    EXPECT_TRUE(decoder.finished());
    EXPECT_EQ(decoder.error(), DecodeFailed);
    EXPECT_LT(played, decoder.frames());

    // Damage already there at open ends the scan: the track is then as long as its good part.
    DecodedTrack decoded;
    ASSERT_EQ(decodeTrack(track.c_str(), decoded), MusicOk);
    EXPECT_GE(decoded.frames(), played);
    EXPECT_LT(decoded.frames(), decoder.frames());
}

// --- A listener's track: libsndfile and libsamplerate (TrackFormat::AnyFormat)

namespace {
// The same 4 s tone (172 Hz left, 345 Hz right) as WAV and in each other format, made by sox,
// lame and ffmpeg from that WAV.
std::string encode(const std::string& wav, const std::string& out, const std::vector<std::string>& tool)
{
    std::vector<std::string> argv = tool;
    for (auto& a : argv) {
        if (a == "IN") a = wav;
        if (a == "OUT") a = out;
    }
    const ProcessResult r = runProcess(argv);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return out;
}

int peakEntryAt(const DecodedTrack& track, uint32_t ms, int channel)
{
    SpectrumAnalyser analyser;
    std::vector<float> window(AnalysisSize);
    const uint64_t end = msToFrames(ms);
    for (size_t i = 0; i < window.size(); ++i) window[i] = track.samples[(end - AnalysisSize + i) * 2 + size_t(channel)];
    float bins[AnalysisBins];
    analyser.analyse(window.data(), bins);
    return peakEntry(bins);
}
}  // namespace

TEST_F(DecoderTest, EveryCommonFormatComesOutAsTheSameStereoAt44100)
{
    Tone tone{4, 44100, 2, 172, 345, 0.5};
    const std::string wav = dir.file("tone.wav");
    writeToneWav(wav, tone);
    DecodedTrack original;
    ASSERT_EQ(decodeTrack(wav.c_str(), original, TrackFormat::AnyFormat), MusicOk);
    ASSERT_EQ(original.frames(), 4u * 44100);
    EXPECT_EQ(original.samples[2 * 1000], std::round(0.5 * std::sin(2 * M_PI * 172 * 1000 / 44100.0) * 32767) / 32768.0f);
    const struct {
        const char* name;
        std::vector<std::string> tool;
        bool lossless;
        double lengthSlackMs;   // what the codec adds or trims at the ends
    } cases[] = {
        {"tone.flac", {"sox", "IN", "OUT"}, true, 0},
        {"tone.ogg", {"sox", "IN", "OUT"}, false, 0},
        {"tone.mp3", {"lame", "--quiet", "-m", "s", "IN", "OUT"}, false, 0},
        {"tone.opus", {"ffmpeg", "-loglevel", "error", "-i", "IN", "-c:a", "libopus", "OUT"}, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DecodedTrack decoded;
        ASSERT_EQ(decodeTrack(encode(wav, dir.file(c.name), c.tool).c_str(), decoded, TrackFormat::AnyFormat), MusicOk);
        EXPECT_NEAR(double(decoded.lengthMs()), 4000.0, c.lengthSlackMs + 1);
        if (c.lossless) {
            EXPECT_EQ(decoded.samples, original.samples);
        }
        EXPECT_EQ(peakEntryAt(decoded, 2000, 0), 2) << "172 Hz on the left";
        EXPECT_EQ(peakEntryAt(decoded, 2000, 1), 4) << "345 Hz on the right";
    }
}

TEST_F(DecoderTest, OtherRatesAndChannelCountsBecomeStereoAt44100)
{
    const struct {
        const char* name;
        std::vector<std::string> synth;   // sox arguments: a tone peaking at -3 dBFS on every channel
        double seconds;
    } cases[] = {
        {"48k.wav", {"-r", "48000", "-c", "2", "OUT", "synth", "3", "sine", "172", "gain", "-n", "-3"}, 3},
        {"96k.flac", {"-r", "96000", "-c", "2", "-b", "24", "OUT", "synth", "3", "sine", "172", "gain", "-n", "-3"}, 3},
        {"mono22k.wav", {"-r", "22050", "-c", "1", "OUT", "synth", "3", "sine", "172", "gain", "-n", "-3"}, 3},
        {"six.flac", {"-r", "44100", "-c", "6", "OUT", "synth", "3", "sine", "172", "gain", "-n", "-3"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> argv = {"sox", "-n"};
        for (const std::string& a : c.synth) argv.push_back(a == "OUT" ? dir.file(c.name) : a);
        ASSERT_EQ(runProcess(argv).exitCode, 0);
        DecodedTrack decoded;
        ASSERT_EQ(decodeTrack(dir.file(c.name).c_str(), decoded, TrackFormat::AnyFormat), MusicOk);
        EXPECT_EQ(decoded.frames(), uint64_t(c.seconds * 44100));
        EXPECT_EQ(peakEntryAt(decoded, 1500, 0), 2) << "172 Hz stays 172 Hz";
        for (size_t f = 0; f < decoded.frames(); f += 997)
            ASSERT_EQ(decoded.samples[2 * f], decoded.samples[2 * f + 1]) << "the same on every channel: the same on both";
        float loudest = 0;
        for (float v : decoded.samples) loudest = std::max(loudest, std::fabs(v));
        EXPECT_NEAR(loudest, 0.708f, 0.015f) << "the same tone on every channel keeps its level";
    }
    // Five channels named in the WAV order: the left-hand ones left, the centre to both at -3 dB,
    // the LFE nowhere, each side's weights summing to 1.
    const StereoWeights w = stereoWeights(6, {}, false);
    const float c = 0.70710678f, sum = 2 + c;
    const std::vector<float> left = {1 / sum, 0, c / sum, 0, 1 / sum, 0}, right = {0, 1 / sum, c / sum, 0, 0, 1 / sum};
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(w.left[i], left[i]) << i;
        EXPECT_FLOAT_EQ(w.right[i], right[i]) << i;
    }
    EXPECT_EQ(stereoWeights(3, {}, true).left[1], stereoWeights(3, {}, false).left[2]) << "Vorbis puts the centre second";
}

// Beside the bad files above: what only a listener's file can be.
TEST_F(DecoderTest, EachKindOfBadListenersFileHasItsOwnCode)
{
    const std::string wav = dir.file("good.wav");
    writeToneWav(wav, Tone{});
    const std::string flac = encode(wav, dir.file("good.flac"), {"sox", "IN", "OUT"});
    const std::string ogg = encode(wav, dir.file("good.ogg"), {"sox", "IN", "OUT"});
    const std::string mp3 = makeToneMp3(dir.path(), "good.mp3", Tone{});
    auto cut = [&](const std::string& from, const std::string& name, double share) {
        const std::string bytes = readFile(from);
        writeFile(dir.file(name), bytes.substr(0, size_t(double(bytes.size()) * share)));
        return dir.file(name);
    };
    writeFile(dir.file("text.ogg"), "OggS and then no Ogg at all\n");
    ASSERT_EQ(runProcess({"sox", "-n", "-r", "44100", "-c", "2", dir.file("no-samples.wav"), "trim", "0", "0"}).exitCode, 0);
    ASSERT_EQ(runProcess({"ffmpeg", "-loglevel", "error", "-f", "lavfi", "-i", "testsrc=d=1:s=64x48", "-c:v", "libtheora",
                          dir.file("video.ogg")})
                  .exitCode,
              0);
    // 21 minutes, as small as a WAV gets: 8 kHz, mono, 8 bits.
    ASSERT_EQ(runProcess({"sox", "-n", "-r", "8000", "-c", "1", "-b", "8", dir.file("long.wav"), "synth", "1260", "sine", "300"})
                  .exitCode,
              0);
    const struct {
        std::string path;
        int code;
    } cases[] = {
        {dir.file("text.ogg"), TrackHoldsNoSound},
        {dir.file("no-samples.wav"), TrackHoldsNoSound},
        {dir.file("video.ogg"), TrackHoldsNoSound},
        {dir.file("long.wav"), TrackTooLong},
        {cut(wav, "cut.wav", 0.6), TrackEndsEarly},
        {cut(ogg, "cut.ogg", 0.6), TrackEndsEarly},
        {cut(mp3, "cut.mp3", 0.6), TrackEndsEarly},
        {cut(flac, "cut.flac", 0.6), DecodeFailed},
    };
    for (const auto& c : cases) {
        DecodedTrack decoded;
        EXPECT_EQ(decodeTrack(c.path.c_str(), decoded, TrackFormat::AnyFormat), c.code) << c.path;
        EXPECT_TRUE(decoded.samples.empty()) << c.path;
    }
}
