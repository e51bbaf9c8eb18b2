// Mp3Decoder and DecodedTrack: exact lengths, conversion of other rates and mono to 44.1 kHz stereo,
// decoding in bounded steps, truncated and damaged files, and an error code naming each kind of bad file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

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
    } cases[] = {
        {dir.file("missing.mp3"), TrackNotFound},
        {dir.file("empty.mp3/inside.mp3"), TrackNotFound},
        {dir.file("empty.mp3"), TrackEmpty},
        {dir.file("folder.mp3"), TrackUnreadable},
        {dir.file("text.mp3"), TrackNotMpeg},
        {dir.file("noise.mp3"), TrackNotMpeg},
    };
    for (const auto& c : cases) {
        Mp3Decoder decoder;
        EXPECT_EQ(decoder.open(c.path.c_str()), c.code) << c.path;
        DecodedTrack decoded;
        EXPECT_EQ(decodeTrack(c.path.c_str(), decoded), c.code) << c.path;
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
