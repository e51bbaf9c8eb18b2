// showcap end to end: the real program on short tracks it is given, checking that captures repeat
// exactly, that a cue's composition is in the frames after it, that the event log holds every cue in
// the frame that reached it, that MP4 output is a playable video with sound, that a listener's track
// gives the same show in every format, and its error handling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "audio/music_errors.h"
#include "support/process.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"
#include "timeline/cue_times.h"
#include "utils/image.h"

namespace {
const std::string Showcap = std::string(SHOW_BIN_DIR) + "/showcap";

class ShowcapTest : public ::testing::Test {
protected:
    TempDir dir;

    void SetUp() override { putShowImages(dir.path()); }

    ProcessResult capture(std::vector<std::string> args, double timeout = 300)
    {
        args.insert(args.begin(), {Showcap, "--quiet", "--data", dir.path()});
        ProcessOptions options;
        options.workDir = dir.path();
        options.timeoutSeconds = timeout;
        return runProcess(args, options);
    }

    // A tone on both channels; 0 Hz is digital silence.
    void putTrack(double seconds, double hz)
    {
        Tone tone;
        tone.seconds = seconds;
        tone.leftHz = tone.rightHz = hz;
        std::rename(makeToneMp3(dir.path(), "made.mp3", tone).c_str(), dir.file("bass_300808.mp3").c_str());
    }

    std::vector<std::string> lines(const std::string& name)
    {
        std::vector<std::string> out;
        std::istringstream in(readFile(dir.file(name)));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }
};

// The value of a numeric field in one JSON line of the event log.
double field(const std::string& line, const std::string& name)
{
    const std::string key = "\"" + name + "\":";
    const size_t at = line.find(key);
    return at == std::string::npos ? -1e9 : std::stod(line.substr(at + key.size()));
}

bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }

// Warm (typography) colours have more red than blue; the electro and grid colours do not.
int warmPixels(const Image& frame)
{
    int n = 0;
    for (size_t i = 0; i + 2 < frame.pixels.size(); i += size_t(frame.channels))
        if (frame.pixels[i] > frame.pixels[i + 2] + 8) ++n;
    return n;
}
}  // namespace

TEST_F(ShowcapTest, TwoCapturesGiveIdenticalFrames)
{
    putTrack(4, 345);  // band 4 makes electro flashes, so the frames have content
    ASSERT_EQ(capture({"--format", "none", "--from", "0.5", "--to", "2.5", "--hashes", dir.file("a.txt")}).exitCode, 0);
    ASSERT_EQ(capture({"--format", "none", "--from", "0.5", "--to", "2.5", "--hashes", dir.file("b.txt")}).exitCode, 0);
    const std::vector<std::string> a = lines("a.txt"), b = lines("b.txt");
    EXPECT_EQ(a.size(), 121u) << "frames 30 to 150 at 60 frames/s";
    EXPECT_EQ(a, b);
    std::map<std::string, int> distinct;
    for (const std::string& line : a) ++distinct[line.substr(line.find(' ') + 1)];
    EXPECT_GT(distinct.size(), 100u) << "the frames change: effects were drawn";
}

TEST_F(ShowcapTest, FramesAfterTheFirstCueShowItsComposition)
{
    putTrack(25, 0);  // silence: nothing but the cue compositions appears
    ASSERT_EQ(capture({"--format", "png", "-o", dir.file("frames"), "--fps", "10", "--from", "23", "--to", "23.6",
                       "--events", dir.file("events.jsonl")})
                  .exitCode,
              0);
    long cueFrame = -1;
    for (const std::string& line : lines("events.jsonl"))
        if (contains(line, "\"event\":\"cue\"")) {
            cueFrame = long(field(line, "frame"));
            EXPECT_EQ(field(line, "cue"), 0);
            break;
        }
    ASSERT_EQ(cueFrame, 233) << "23.3 s is the first frame at or past 23.223106 s";

    auto frame = [&](long n) {
        Image image;
        std::string error;
        EXPECT_TRUE(decodePng((dir.file("frames") + "/frame_000" + std::to_string(n) + ".png").c_str(), image, error))
            << error;
        return image;
    };
    EXPECT_EQ(warmPixels(frame(232)), 0) << "nothing before the cue";
    EXPECT_GT(warmPixels(frame(cueFrame + 3)), 20000) << "its sprites near their peak opacity";
    EXPECT_TRUE(std::ifstream(dir.file("frames") + "/track.wav").good());
}

TEST_F(ShowcapTest, EventLogHoldsEveryCueInTheFrameThatReachedIt)
{
    putTrack(173.5, 0);
    const int fps = 30;
    ASSERT_EQ(capture({"--format", "none", "--fps", std::to_string(fps), "--events", dir.file("events.jsonl")}, 900)
                  .exitCode,
              0);
    std::vector<std::pair<long, double>> cues;  // frame, cue index
    std::map<long, float> musicTimeOfFrame;
    for (const std::string& line : lines("events.jsonl")) {
        if (contains(line, "\"event\":\"frame\"")) musicTimeOfFrame[long(field(line, "frame"))] = float(field(line, "musicTime"));
        if (contains(line, "\"event\":\"cue\"")) cues.emplace_back(long(field(line, "frame")), field(line, "cue"));
    }
    ASSERT_EQ(cues.size(), size_t(CueCount));
    for (int i = 0; i < CueCount; ++i) {
        const long f = cues[size_t(i)].first;
        EXPECT_EQ(cues[size_t(i)].second, i) << "in list order";
        EXPECT_GE(musicTimeOfFrame[f], CueTimes[i]) << "cue " << i;
        EXPECT_LT(musicTimeOfFrame[f - 1], CueTimes[i]) << "cue " << i << " fired late";
    }
}

// The same frame drawn at twice the show's size and averaged back down by 2 x 2 is the show's own
// frame but for rasterisation: textures sampled at other points (no mipmaps, so minified sparks
// alias otherwise) and edges stepped at the finer grid. Measured over the real track at 30, 64, 100
// and 150 s: mean difference 0.02 to 0.24 levels, channel values more than 8 levels apart 0.002 % to
// 0.25 % (150 s, the densest sparks), largest 60. A picture not scaled to the frame, misplaced, or a
// primitive drawn at the show's pixel size moves whole shapes and far exceeds the bounds.
TEST_F(ShowcapTest, TwiceTheSizeAveragedDownIsTheShowsOwnFrame)
{
    copyFile(std::string(SHOW_DATA_DIR) + "/bass_300808.mp3", dir.file("bass_300808.mp3"));
    for (const char* moment : {"64", "150"}) {
        SCOPED_TRACE(moment);
        const std::string own = dir.file(std::string("own") + moment), big = dir.file(std::string("big") + moment);
        ASSERT_EQ(capture({"--format", "png", "--from", moment, "--to", moment, "-o", own}).exitCode, 0);
        ASSERT_EQ(capture({"--format", "png", "--from", moment, "--to", moment, "--size", "2048x1536", "-o", big}).exitCode, 0);
        const std::string name = "/frame_" + std::string(6 - std::to_string(std::stoi(moment) * 60).size(), '0') +
                                 std::to_string(std::stoi(moment) * 60) + ".png";
        Image a, b;
        std::string error;
        ASSERT_TRUE(decodePng((own + name).c_str(), a, error)) << error;
        ASSERT_TRUE(decodePng((big + name).c_str(), b, error)) << error;
        ASSERT_EQ(b.width, 2048);
        ASSERT_EQ(b.height, 1536);
        ASSERT_EQ(a.channels, b.channels);
        const size_t ch = size_t(a.channels);
        double total = 0;
        size_t far = 0;
        for (int y = 0; y < a.height; ++y)
            for (int x = 0; x < a.width; ++x)
                for (size_t c = 0; c < 3; ++c) {
                    int sum = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            sum += b.pixels[(size_t(2 * y + dy) * size_t(b.width) + size_t(2 * x + dx)) * ch + c];
                    const int d = std::abs((sum + 2) / 4 - a.pixels[(size_t(y) * size_t(a.width) + size_t(x)) * ch + c]);
                    total += d;
                    far += d > 8;
                }
        const double values = double(a.width) * a.height * 3;
        EXPECT_LT(total / values, 0.75) << "mean difference, levels";
        EXPECT_LT(double(far) / values, 0.0075) << "share more than 8 levels apart";
    }
}

TEST_F(ShowcapTest, Mp4HasVideoAndAudioOfTheRangesLength)
{
    if (!commandExists("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    putTrack(6, 345);
    const ProcessResult r = capture({"-o", dir.file("part.mp4"), "--from", "1", "--to", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const ProcessResult probe = runProcess({"ffprobe", "-v", "error", "-show_entries", "stream=codec_name,codec_type,duration",
                                            "-of", "default=nw=1", dir.file("part.mp4")});
    EXPECT_TRUE(contains(probe.out, "codec_name=h264")) << probe.out;
    EXPECT_TRUE(contains(probe.out, "codec_name=aac")) << probe.out;
    std::istringstream in(probe.out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("duration=", 0) != 0) continue;
        EXPECT_NEAR(std::stod(line.substr(9)), 2.0, 0.1) << line;
    }
}

// A listener's track: the same made music as WAV, FLAC and MP3 gives the same show. FLAC is lossless,
// so its log is the WAV's line for line; MP3 changes the samples a little (its filter bank smears
// each accent by a millisecond or two and its noise moves the spectrum's bands), so its cues fire in
// the same frames with the same compositions, and its spectrum-driven spawns stay within 5 % in
// number of the WAV's.
TEST_F(ShowcapTest, ListenersTrackAsWavFlacAndMp3GivesTheSameShow)
{
    ASSERT_EQ(lameMissing(), "");
    Tone tone;
    tone.seconds = 12;
    tone.leftHz = tone.rightHz = 345;   // sparks all along
    tone.amplitude = 0.3;
    // Halfway between two 60 Hz frames, so a millisecond either way fires in the same frame.
    std::vector<double> clicks;
    for (int i = 0; i < 10; ++i) clicks.push_back((60 * (1 + i) + 37 * (i % 3) + 0.5) / 60.0);
    const std::string wav = dir.file("my track.wav"), flac = dir.file("my track.flac"), mp3 = dir.file("mï track.mp3");
    writeToneWav(wav, tone, clicks);
    ASSERT_EQ(runProcess({"sox", wav, flac}).exitCode, 0);
    ASSERT_EQ(runProcess({"lame", "--quiet", "-b", "192", wav, mp3}).exitCode, 0);
    std::map<std::string, std::vector<std::string>> logs;
    for (const std::string& track : {wav, flac, mp3}) {
        const ProcessResult r = capture({"--track", track, "--format", "none", "--events", dir.file("events.jsonl")});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        logs[track] = lines("events.jsonl");
    }
    auto only = [](const std::vector<std::string>& log, const char* kind) {
        std::vector<std::string> out;
        for (const std::string& line : log)
            if (contains(line, std::string("\"event\":\"") + kind + "\"") || contains(line, std::string("\"kind\":\"") + kind + "\""))
                out.push_back(line);
        return out;
    };
    const std::vector<std::string> cues = only(logs[wav], "cue");
    ASSERT_EQ(cues.size(), 7u) << "round(12 x 105 / 186) of the ten accents, the strongest";
    for (const std::string& cue : cues) {
        const double t = field(cue, "cueTime");
        EXPECT_TRUE(std::any_of(clicks.begin(), clicks.end(), [t](double c) { return std::fabs(c - t) < 0.002; }))
            << cue;
    }
    EXPECT_EQ(logs[flac], logs[wav]);
    const std::vector<std::string> mp3Cues = only(logs[mp3], "cue");
    ASSERT_EQ(mp3Cues.size(), cues.size());
    for (size_t i = 0; i < cues.size(); ++i) {
        for (const char* key : {"frame", "cue", "type"}) EXPECT_EQ(field(mp3Cues[i], key), field(cues[i], key)) << cues[i];
        EXPECT_NEAR(field(mp3Cues[i], "cueTime"), field(cues[i], "cueTime"), 0.003) << cues[i];
    }
    const double wavSpawns = double(only(logs[wav], "ElectroFrag").size() + only(logs[wav], "BezierFrag").size() +
                                    only(logs[wav], "CircleGridFrag").size());
    const double mp3Spawns = double(only(logs[mp3], "ElectroFrag").size() + only(logs[mp3], "BezierFrag").size() +
                                    only(logs[mp3], "CircleGridFrag").size());
    EXPECT_GT(wavSpawns, 20);
    EXPECT_NEAR(mp3Spawns, wavSpawns, 0.05 * wavSpawns);
}

TEST_F(ShowcapTest, BadOptionsAndMissingInputsFailWithAMessage)
{
    const ProcessResult bad = runProcess({Showcap, "--speed", "11"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_TRUE(contains(bad.err, "unknown option '--speed'")) << bad.err;

    const ProcessResult fps = runProcess({Showcap, "--fps", "0"});
    EXPECT_EQ(fps.exitCode, 2);
    EXPECT_TRUE(contains(fps.err, "--fps")) << fps.err;

    const ProcessResult noTrack = capture({"--format", "none"});
    EXPECT_EQ(noTrack.exitCode, 1);
    EXPECT_TRUE(contains(noTrack.err, "bass_300808.mp3")) << noTrack.err;

    // A listener's file that is not audio, or is damaged: its name and why, and no capture.
    writeFile(dir.file("notes.ogg"), "This is not music, just a few lines of text.\n");
    Tone tone;
    writeToneWav(dir.file("cut.wav"), tone);
    ASSERT_EQ(runProcess({"sox", dir.file("cut.wav"), dir.file("cut.flac")}).exitCode, 0);
    const std::string flac = readFile(dir.file("cut.flac"));
    writeFile(dir.file("cut.flac"), flac.substr(0, flac.size() / 2));
    const struct {
        std::string file;
        int code;
    } tracks[] = {{"notes.ogg", TrackNotAudio}, {"cut.flac", DecodeFailed}, {"none.mp3", TrackNotFound}};
    for (const auto& t : tracks) {
        const ProcessResult r = capture({"--format", "none", "--track", dir.file(t.file)});
        EXPECT_EQ(r.exitCode, 1) << t.file;
        EXPECT_EQ(r.err, "showcap: can't play '" + dir.file(t.file) + "': " + musicErrorText(t.code) + "\n");
    }
    EXPECT_EQ(runProcess({Showcap, "--track"}).exitCode, 2);

    const ProcessResult help = runProcess({Showcap, "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "Usage: showcap")) << help.out;
}
