// showcap end to end: the real program on short tracks it is given, checking that captures repeat
// exactly, that a cue's composition is in the frames after it, that the event log holds every cue in
// the frame that reached it, that MP4 output is a playable video with sound, that a listener's track
// gives the same show in every format, that a capture cut into chunks (rendered here or over ssh
// through GNU parallel) joins back into the single run, and its error handling.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "audio/decoded_track.h"
#include "audio/music_errors.h"
#include "support/process.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"
#include "timeline/cue_times.h"
#include "utils/image.h"

namespace {
const std::string Showcap = std::string(SHOW_BIN_DIR) + "/showcap";
const std::string ParallelCapture = std::string(SHOW_SOURCE_DIR) + "/tools/showcap/parallel-capture.sh";

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

    // A tone on both channels (rightHz < 0: the left one's); 0 Hz is digital silence.
    void putTrack(double seconds, double hz, double rightHz = -1)
    {
        Tone tone;
        tone.seconds = seconds;
        tone.leftHz = hz;
        tone.rightHz = rightHz < 0 ? hz : rightHz;
        std::rename(makeToneMp3(dir.path(), "made.mp3", tone).c_str(), dir.file("bass_300808.mp3").c_str());
    }

    std::vector<std::string> lines(const std::string& name)
    {
        std::vector<std::string> out;
        std::istringstream in(readFile(dir.file(name)));
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }

    ProcessResult join(const std::string& segments, const std::string& output, const std::vector<std::string>& more = {})
    {
        std::vector<std::string> args = {Showcap, "--quiet", "--data", dir.path(), "--join", dir.file(segments), "-o",
                                         dir.file(output)};
        args.insert(args.end(), more.begin(), more.end());
        return runProcess(args);
    }

    // The options, then each chunk's own (CHUNK in them stands for K) for every K, into the directory segments.
    void captureChunks(int count, const std::vector<std::string>& options, const std::vector<std::string>& own,
                       const std::string& segments)
    {
        std::filesystem::create_directory(dir.file(segments));
        for (int k = 1; k <= count; ++k) {
            std::vector<std::string> args = options;
            const std::string n = std::to_string(k);
            args.insert(args.end(), {"--chunk", n + "/" + std::to_string(count)});
            for (std::string a : own) {
                if (const size_t at = a.find("CHUNK"); at != std::string::npos) a.replace(at, 5, n);
                args.push_back(a);
            }
            const ProcessResult r = capture(args);
            ASSERT_EQ(r.exitCode, 0) << "chunk " << k << ": " << r.err;
        }
    }

    std::string joined(const std::vector<std::string>& names)
    {
        std::string all;
        for (const std::string& name : names) all += readFile(dir.file(name));
        return all;
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
// the same frames with the same compositions, and its spectrum-driven spawns (the accents after the
// first cue, heard by the grid and stroke bands) stay within 5 % in number of the WAV's.
TEST_F(ShowcapTest, ListenersTrackAsWavFlacAndMp3GivesTheSameShow)
{
    ASSERT_EQ(lameMissing(), "");
    Tone tone;
    tone.seconds = 12;
    tone.leftHz = tone.rightHz = 345;   // held in the sparks' band: one event, under which the accents are not heard
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
    EXPECT_GE(wavSpawns, 5);
    EXPECT_NEAR(mp3Spawns, wavSpawns, 0.05 * wavSpawns);
}

// A listener's track's log opens with its words: the tags' (here a FLAC's), or the options' over them,
// its length, and its tempo, which the show's own track played as a listener's file gives as 187;
// the show's own log has no such line.
TEST_F(ShowcapTest, ListenersLogOpensWithTheTracksWords)
{
    if (!commandExists("metaflac")) GTEST_SKIP() << "metaflac is not installed (./setup.sh --test)";
    Tone tone;
    tone.seconds = 3;
    tone.leftHz = tone.rightHz = 345;
    const std::string wav = dir.file("tone.wav"), flac = dir.file("tagged.flac");
    writeToneWav(wav, tone, {0.5, 1.5, 2.5});
    ASSERT_EQ(runProcess({"sox", wav, flac}).exitCode, 0);
    ASSERT_EQ(runProcess({"metaflac", "--set-tag=TITLE=Nuit \xC3\xA9toil\xC3\xA9\x65", "--set-tag=ARTIST=Anna",
                          "--set-tag=ARTIST=Bo", "--set-tag=ALBUM=Tiny", "--set-tag=DATE=1999-04-01", flac})
                  .exitCode,
              0);
    const std::string tagged = "{\"event\":\"track\",\"title\":\"Nuit \xC3\xA9toil\xC3\xA9\x65\",\"artist\":\"Anna / Bo\","
                               "\"album\":\"Tiny\",\"year\":\"1999\",\"tempo\":null,\"length\":3}";
    ASSERT_EQ(capture({"--track", flac, "--format", "none", "--events", dir.file("tagged.jsonl"), "--to", "0.1"}).exitCode, 0);
    EXPECT_EQ(lines("tagged.jsonl").at(0), tagged);
    ASSERT_EQ(capture({"--track", flac, "--title", "Mine", "--artist", "Me", "--format", "none", "--events",
                       dir.file("mine.jsonl"), "--to", "0.1"})
                  .exitCode,
              0);
    EXPECT_EQ(lines("mine.jsonl").at(0), "{\"event\":\"track\",\"title\":\"Mine\",\"artist\":\"Me\",\"album\":\"Tiny\","
                                         "\"year\":\"1999\",\"tempo\":null,\"length\":3}");

    const std::string own = std::string(SHOW_DATA_DIR) + "/bass_300808.mp3";
    ASSERT_EQ(capture({"--track", own, "--format", "none", "--events", dir.file("own.jsonl"), "--to", "0"}).exitCode, 0);
    EXPECT_NE(lines("own.jsonl").at(0).find("\"title\":\"bass_300808\",\"artist\":\"\",\"album\":\"\",\"year\":\"\","
                                            "\"tempo\":187,"),
              std::string::npos)
        << lines("own.jsonl").at(0);
    putTrack(1, 345);
    ASSERT_EQ(capture({"--format", "none", "--events", dir.file("show.jsonl"), "--to", "0"}).exitCode, 0);
    EXPECT_EQ(lines("show.jsonl").at(0).rfind("{\"event\":\"frame\"", 0), 0u);
}

// Each stream of a file as ffprobe sees it: "video frames=181 duration=6.033".
std::map<std::string, std::pair<long, double>> streams(const std::string& path)
{
    const ProcessResult probe = runProcess({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
                                            "stream=codec_type,nb_read_frames,duration", "-of", "csv=p=0", path});
    std::map<std::string, std::pair<long, double>> out;
    std::istringstream in(probe.out);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string type, duration, frames;
        std::getline(fields, type, ',');
        std::getline(fields, duration, ',');
        std::getline(fields, frames, ',');
        if (!frames.empty()) out[type] = {std::stol(frames), std::stod(duration)};
    }
    return out;
}

size_t framesIn(const std::string& directory)
{
    size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(directory)) n += e.path().extension() == ".png";
    return n;
}

// Chunks 1, 2, 3 of a range written as PNG frames hash, one after another, to the single run's list,
// log its events, and joined hold its frames and its WAV, byte for byte: no frame lost or doubled at
// a seam. Without --to each chunk finds the show's end by itself.
TEST_F(ShowcapTest, ChunksJoinIntoTheSingleRunFrameForFrame)
{
    putTrack(4, 345);
    // A listener's track of its own cues, drawn at another size: every option goes through the cut.
    Tone tone;
    tone.seconds = 4;
    tone.leftHz = tone.rightHz = 345;
    tone.amplitude = 0.3;
    const std::string own = dir.file("own track.wav");
    writeToneWav(own, tone, {0.7, 1.4, 2.1});
    const std::vector<std::vector<std::string>> ranges = {
        {"--from", "0.5", "--to", "2.5"}, {"--from", "3.05"}, {"--from", "0.5", "--to", "2.5", "--track", own, "--size", "320x180"}};
    const char* const names[] = {"--from 0.5 --to 2.5", "--from 3.05 to the end", "a listener's track at 320x180"};
    for (size_t i = 0; i < ranges.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const std::string c = std::to_string(i);
        std::vector<std::string> options = {"--format", "png", "--fps", "10"};
        options.insert(options.end(), ranges[i].begin(), ranges[i].end());
        std::vector<std::string> single = options;
        single.insert(single.end(), {"-o", dir.file(c + "single"), "--hashes", dir.file(c + "single.txt"), "--events",
                                     dir.file(c + "single.jsonl")});
        ASSERT_EQ(capture(single).exitCode, 0);
        captureChunks(3, options,
                      {"-o", dir.file(c + "parts/CHUNK"), "--hashes", dir.file(c + "h-CHUNK"), "--events", dir.file(c + "e-CHUNK")},
                      c + "parts");
        const bool listener = i == 2;
        const ProcessResult j = join(c + "parts", c + "joined", listener ? std::vector<std::string>{"--track", own} : std::vector<std::string>{});
        ASSERT_EQ(j.exitCode, 0) << j.err;

        const std::vector<std::string> hashes = lines(c + "single.txt");
        EXPECT_GT(hashes.size(), 15u);
        EXPECT_EQ(joined({c + "h-1", c + "h-2", c + "h-3"}), readFile(dir.file(c + "single.txt")));
        EXPECT_EQ(joined({c + "e-1", c + "e-2", c + "e-3"}), readFile(dir.file(c + "single.jsonl")));
        EXPECT_EQ(framesIn(dir.file(c + "joined")), hashes.size());
        EXPECT_TRUE(readFile(dir.file(c + "joined/track.wav")) == readFile(dir.file(c + "single/track.wav")))
            << "the WAV is the single run's, byte for byte";
    }
}

// The joined MP4 has the single run's frames and length, and its sound is the track's from the
// first frame on, with no gap or repeat where one chunk ends and the next begins.
TEST_F(ShowcapTest, JoinedMp4HasTheSingleRunsFramesAndUnbrokenSound)
{
    if (!commandExists("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    putTrack(6, 345, 433);  // two tones: no shift of up to 400 samples brings both back in step
    const std::vector<std::string> options = {"--fps", "10", "--from", "1", "--to", "4"};
    std::vector<std::string> single = options;
    single.insert(single.end(), {"-o", dir.file("single.mp4")});
    ASSERT_EQ(capture(single).exitCode, 0);
    captureChunks(3, options, {"-o", dir.file("parts/CHUNK.mp4")}, "parts");
    const ProcessResult j = join("parts", "joined.mp4");
    ASSERT_EQ(j.exitCode, 0) << j.err;

    auto a = streams(dir.file("single.mp4")), b = streams(dir.file("joined.mp4"));
    EXPECT_EQ(b["video"].first, 31) << "frames 10 to 40";
    EXPECT_EQ(b["video"], a["video"]);
    EXPECT_NEAR(b["audio"].second, a["audio"].second, 0.03) << "within one AAC frame";

    ASSERT_EQ(runProcess({"ffmpeg", "-v", "error", "-i", dir.file("joined.mp4"), "-f", "s16le", "-ac", "2", "-ar", "44100",
                          dir.file("joined.raw")})
                  .exitCode,
              0);
    const std::vector<int16_t> sound = readRawSamples(dir.file("joined.raw"));
    DecodedTrack track;
    ASSERT_EQ(decodeTrack(dir.file("bass_300808.mp3").c_str(), track), 0);
    EXPECT_NEAR(double(sound.size() / 2), 3.1 * 44100, 1024);
    // Near the start (past the encoder's first frames, which only settle) and at both seams (frames
    // 20 and 30: 1 s and 2 s into the file) the sound matches the track best unshifted, and closely.
    const long first = 44100, window = 2048;
    for (long at : {4096L, 44100L - window / 2, 88200L - window / 2}) {
        long bestLag = 0;
        double best = 1e30, unshifted = 0;
        for (long lag = -400; lag <= 400; ++lag) {
            double err = 0;
            for (long i = at; i < at + window; ++i)
                for (int ch = 0; ch < 2; ++ch) {
                    const long s = (first + i + lag) * 2 + ch;
                    const double d = sound[size_t(i * 2 + ch)] / 32768.0 - (s >= 0 ? track.samples[size_t(s)] : 0.0);
                    err += d * d;
                }
            if (err < best) best = err, bestLag = lag;
            if (lag == 0) unshifted = std::sqrt(err / (2 * window));
        }
        EXPECT_EQ(bestLag, 0) << "sample " << at;
        EXPECT_LT(unshifted, 0.01) << "sample " << at;
    }
}

// A chunk that fails for good (here its encoder dies) fails the capture with one line naming it, and
// leaves nothing where the video should have gone, nor the chunks.
TEST_F(ShowcapTest, ParallelCaptureFailsWholeWhenAChunkFails)
{
    if (!commandExists("parallel")) GTEST_SKIP() << "GNU parallel is not installed";
    putTrack(3, 345);
    std::filesystem::create_directory(dir.file("bin"));
    writeFile(dir.file("bin/ffmpeg"), "#!/bin/sh\necho 'ffmpeg: out of disk space' >&2\nexit 1\n");
    std::filesystem::permissions(dir.file("bin/ffmpeg"), std::filesystem::perms::owner_all);
    ProcessOptions options;
    options.workDir = dir.path();
    options.env["PATH"] = dir.file("bin") + ":" + std::getenv("PATH");
    options.env["HOME"] = dir.path();
    options.timeoutSeconds = 300;
    const ProcessResult r = runProcess({ParallelCapture, Showcap, "--data", dir.path(), "--parallel", "2", "--format",
                                        "mp4", "--fps", "10", "--to", "1", "-o", dir.file("show.mp4"), "-q"},
                                       options);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "failed for good on this machine")) << r.err;
    EXPECT_TRUE(contains(r.err, "nothing written to " + dir.file("show.mp4"))) << r.err;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_TRUE(e.path().extension() != ".mp4" && !contains(e.path().filename().string(), "chunks")) << e.path();
}

// An ssh server of the test's own on the loopback address, logged into with a key made for it.
class LoopbackSsh {
public:
    explicit LoopbackSsh(const std::string& dir) : dir_(dir), port_(freePort())
    {
        for (const char* key : {"host", "client"})
            runProcess({"ssh-keygen", "-q", "-N", "", "-t", "ed25519", "-f", dir + "/" + key});
        copyFile(dir + "/client.pub", dir + "/authorized_keys");
        std::filesystem::create_directories("/run/sshd");
        sshd_ = std::make_unique<Process>(
            std::vector<std::string>{"/usr/sbin/sshd", "-D", "-e", "-p", std::to_string(port_), "-h", dir + "/host", "-o",
                                     "ListenAddress=127.0.0.1", "-o", "AuthorizedKeysFile=" + dir + "/authorized_keys", "-o",
                                     "PidFile=none", "-o", "StrictModes=no", "-o", "SetEnv=HOME=" + dir},
            ProcessOptions{{}, {}, "", 600});
        for (int i = 0; i < 100 && !accepts(port_); ++i) usleep(50000);
    }
    ~LoopbackSsh() = default;   // the Process kills sshd

    bool up() { return sshd_->running() && accepts(port_); }
    std::string login(int port = 0) const   // a port nothing listens on: a host that refuses
    {
        return "1/ssh -p " + std::to_string(port ? port : port_) + " -i " + dir_ +
               "/client -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR root@127.0.0.1";
    }

    static int freePort()
    {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof a;
        bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &size);
        close(s);
        return ntohs(a.sin_port);
    }

private:
    static bool accepts(int port)
    {
        const int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(s);
        return ok;
    }

    std::string dir_;
    int port_;
    std::unique_ptr<Process> sshd_;
};

// Chunks sent over ssh come back and join into the single run's frames; a host that refuses is left
// out with a line naming it, and with no other host the capture fails and writes nothing.
TEST_F(ShowcapTest, ChunksOverSshJoinIntoTheSingleRun)
{
    if (geteuid() != 0) GTEST_SKIP() << "sshd runs as root";
    for (const char* tool : {"parallel", "rsync", "ssh", "ssh-keygen"})
        if (!commandExists(tool)) GTEST_SKIP() << tool << " is not installed";
    if (access("/usr/sbin/sshd", X_OK) != 0) GTEST_SKIP() << "openssh-server is not installed";
    putTrack(3, 345);
    LoopbackSsh ssh(dir.path());
    ASSERT_TRUE(ssh.up());
    const int refusing = LoopbackSsh::freePort();
    writeFile(dir.file("hosts"), ssh.login() + "\n" + ssh.login(refusing) + "\n");
    writeFile(dir.file("refusing"), ssh.login(refusing) + "\n");

    // A listener's track goes to each host with its chunks: the hosts read it by a name of their own.
    Tone tone;
    tone.seconds = 3;
    tone.leftHz = tone.rightHz = 345;
    tone.amplitude = 0.3;
    writeToneWav(dir.file("my track.wav"), tone, {0.8, 1.6});
    const std::vector<std::string> options = {"--format", "png", "--fps", "10", "--from", "0.5", "--to", "2",
                                              "--track", dir.file("my track.wav")};
    std::vector<std::string> single = options;
    single.insert(single.end(), {"-o", dir.file("single"), "--hashes", dir.file("single.txt")});
    ASSERT_EQ(capture(single).exitCode, 0);

    ProcessOptions local;
    local.workDir = dir.path();
    local.env["HOME"] = dir.path();
    local.timeoutSeconds = 300;
    auto overSsh = [&](const std::string& hosts, const std::string& output) {
        std::vector<std::string> args = {ParallelCapture, Showcap, "--data", dir.path(), "--hosts", dir.file(hosts),
                                         "--remote-showcap", Showcap + " --data " + dir.path(), "-q", "-o", dir.file(output),
                                         "--hashes", dir.file(output + ".txt")};
        args.insert(args.end(), options.begin(), options.end());
        return runProcess(args, local);
    };
    const ProcessResult r = overSsh("hosts", "chunked");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "-p " + std::to_string(refusing)) && contains(r.err, "left out")) << r.err;
    EXPECT_EQ(readFile(dir.file("chunked.txt")), readFile(dir.file("single.txt")));
    EXPECT_EQ(framesIn(dir.file("chunked")), lines("single.txt").size());
    EXPECT_TRUE(readFile(dir.file("chunked/track.wav")) == readFile(dir.file("single/track.wav")));

    const ProcessResult none = overSsh("refusing", "none");
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(contains(none.err, "-p " + std::to_string(refusing)) && contains(none.err, "nothing written")) << none.err;
    EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("none.txt")));
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
