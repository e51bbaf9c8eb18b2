// showcap's pure pieces: option parsing and its messages, the cut into chunks and the join's check of
// the segments, the contact sheet's layout and labels, the WAV header, and the hand-over to the writer
// thread.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "capture_options.h"
#include "chunks.h"
#include "contact_sheet.h"
#include "frame_sink.h"
#include "frame_writer.h"
#include "support/temp_dir.h"

namespace {
bool parse(std::vector<std::string> args, CaptureOptions& out, std::string& error)
{
    return parseCaptureOptions(args, out, error);
}

std::string errorFor(std::vector<std::string> args)
{
    CaptureOptions options;
    std::string error;
    EXPECT_FALSE(parse(args, options, error));
    return error;
}
}  // namespace

TEST(CaptureOptions, DefaultsAndEveryOption)
{
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({}, o, error));
    EXPECT_EQ(o.fps, 60);
    EXPECT_EQ(o.format, VideoFormat::Auto);
    EXPECT_EQ(o.dataDir, ".");
    EXPECT_EQ(o.preset, DefaultEncoderPreset);
    EXPECT_LT(o.to, 0);
    EXPECT_EQ(o.width, 1024);
    EXPECT_EQ(o.height, 768);

    ASSERT_TRUE(parse({"-o", "x.mp4", "--size", "3840x2160", "--fps", "30", "--data", "d", "--format", "png", "--from", "1:30",
                       "--to", "100.5", "--contact-sheet", "s.png", "--sheet-every", "2.5", "--events", "e.jsonl",
                       "--hashes", "h.txt", "--preset", "slow", "-q"},
                      o, error))
        << error;
    EXPECT_EQ(o.output, "x.mp4");
    EXPECT_EQ(o.fps, 30);
    EXPECT_EQ(o.width, 3840);
    EXPECT_EQ(o.height, 2160);
    EXPECT_EQ(o.dataDir, "d");
    EXPECT_EQ(o.format, VideoFormat::Png);
    EXPECT_EQ(o.from, 90.0);
    EXPECT_EQ(o.to, 100.5);
    EXPECT_EQ(o.contactSheet, "s.png");
    EXPECT_EQ(o.sheetEvery, 2.5);
    EXPECT_EQ(o.events, "e.jsonl");
    EXPECT_EQ(o.hashes, "h.txt");
    EXPECT_EQ(o.preset, "slow");
    EXPECT_TRUE(o.quiet);

    ASSERT_TRUE(parse({"--chunk", "2/5", "--last-frame", "900", "--plan", "--version"}, o, error)) << error;
    EXPECT_TRUE(o.plan);
    EXPECT_TRUE(o.version);
    EXPECT_EQ(o.chunk.index, 2);
    EXPECT_EQ(o.chunk.count, 5);
    EXPECT_EQ(o.lastFrame, 900);

    ASSERT_TRUE(parse({"--join", "parts", "-o", "x.mp4", "--data", "d", "-q"}, o, error)) << error;
    EXPECT_EQ(o.join, "parts");

    ASSERT_TRUE(parse({"--track", "t.ogg", "--title", "-1 dB", "--artist", "Me", "--track-name", "my t.ogg"}, o, error))
        << error;
    EXPECT_EQ(o.title, "-1 dB") << "a value may start with one dash";
    EXPECT_EQ(o.artist, "Me");
    EXPECT_EQ(o.trackName, "my t.ogg");
}

TEST(CaptureOptions, BadInputSaysWhatIsWrong)
{
    EXPECT_NE(errorFor({"--frobnicate"}).find("unknown option '--frobnicate'"), std::string::npos);
    for (auto args : {std::vector<std::string>{"--fps"}, {"--join", "--quiet"}, {"-o", "--to", "5"}})
        EXPECT_NE(errorFor(args).find("option " + args[0] + " needs a value"), std::string::npos) << args[0];
    for (const char* fps : {"0", "241", "29.97", "abc", "", "-5"})
        EXPECT_NE(errorFor({"--fps", fps}).find("--fps"), std::string::npos) << fps;
    EXPECT_NE(errorFor({"--format", "avi"}).find("auto, mp4, png or none"), std::string::npos);
    for (const char* size : {"1920", "1920x", "x1080", "1921x1080", "8192x4320", "0x0", "-2x4", "1920x1080x2", "1e3x2"})
        EXPECT_NE(errorFor({"--size", size}).find("--size"), std::string::npos) << size;
    EXPECT_NE(errorFor({"--from", "later"}).find("--from"), std::string::npos);
    EXPECT_NE(errorFor({"--from", "20", "--to", "10"}).find("before"), std::string::npos);
    EXPECT_NE(errorFor({"--sheet-every", "0"}).find("--sheet-every"), std::string::npos);
    EXPECT_NE(errorFor({"--preset", "quick"}).find("--preset"), std::string::npos);
    for (const char* chunk : {"0/3", "4/3", "a/b", "3", "1/0", "-1/3", "1/ 3", "1/10000", ""})
        EXPECT_NE(errorFor({"--chunk", chunk}).find("--chunk wants K/N"), std::string::npos) << chunk;
    EXPECT_NE(errorFor({"--chunk", "1/2", "--join", "d"}).find("not both"), std::string::npos);
    EXPECT_NE(errorFor({"--join", "d", "--fps", "30"}).find("not --fps"), std::string::npos)
        << "the segments' rate would be overridden silently";
    EXPECT_NE(errorFor({"--chunk", "1/2", "--contact-sheet", "s.png"}).find("run of its own"), std::string::npos);
    EXPECT_NE(errorFor({"--last-frame", "10"}).find("goes with --chunk"), std::string::npos);
    EXPECT_NE(errorFor({"--artist", "Me"}).find("go with --track"), std::string::npos);
    EXPECT_NE(errorFor({"--posters", "p"}).find("go with --track"), std::string::npos);
    EXPECT_NE(errorFor({"--chunk", "1/2", "--last-frame", "1.5"}).find("--last-frame"), std::string::npos);
}

// Every cut of a range into chunks, labelled as the chunks label their segments, is one whole cut
// to the join; a segment missing, twice, or out of step with its neighbour is not.
TEST(CaptureChunks, PiecesJoinBackExactlyAndBadSetsAreRefused)
{
    for (long frames = 1; frames <= 40; ++frames)
        for (int count = 1; count <= frames; ++count) {
            const FrameRange whole{7, 7 + frames - 1};
            std::vector<SegmentLabel> labels;
            for (int k = count; k >= 1; --k) {  // in any order
                const FrameRange r = chunkRange(whole, {k, count});
                ASSERT_GE(r.count(), frames / count) << frames << " frames, chunk " << k << "/" << count;
                ASSERT_LE(r.count(), frames / count + 1) << frames << " frames, chunk " << k << "/" << count;
                SegmentLabel label;
                ASSERT_TRUE(parseSegmentLabel(segmentLabel({{k, count}, r, 30}) + "\n", label));
                labels.push_back(label);
            }
            FrameRange joined;
            std::string error;
            ASSERT_TRUE(checkSegments(labels, joined, error)) << frames << "/" << count << ": " << error;
            EXPECT_EQ(joined.first, whole.first);
            EXPECT_EQ(joined.last, whole.last);
        }

    const std::vector<SegmentLabel> good = {{{1, 3}, {0, 9}, 30}, {{2, 3}, {10, 19}, 30}, {{3, 3}, {20, 29}, 30}};
    struct Case {
        const char* fault;
        std::vector<SegmentLabel> labels;
        const char* message;
    };
    const Case cases[] = {
        {"a chunk missing", {good[0], good[2]}, "chunk 2/3 is missing"},
        {"the last missing", {good[0], good[1]}, "chunk 3/3 is missing"},
        {"a chunk twice", {good[0], good[1], good[1], good[2]}, "twice"},
        {"a frame doubled at a seam", {good[0], {{2, 3}, {9, 19}, 30}, good[2]}, "not right after"},
        {"a frame lost at a seam", {good[0], good[1], {{3, 3}, {21, 29}, 30}}, "not right after"},
        {"another cut", {good[0], good[1], {{3, 4}, {20, 29}, 30}}, "different captures"},
        {"another frame rate", {good[0], good[1], {{3, 3}, {20, 29}, 60}}, "different captures"},
    };
    for (const Case& c : cases) {
        std::vector<SegmentLabel> labels = c.labels;
        FrameRange joined;
        std::string error;
        EXPECT_FALSE(checkSegments(labels, joined, error)) << c.fault;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.fault << ": " << error;
    }
    SegmentLabel label;
    EXPECT_FALSE(parseSegmentLabel("showcap chunk 2/3 frames 10-19 fps 30 and more", label));
    EXPECT_FALSE(parseSegmentLabel("Lavf59.27.100", label)) << "an ordinary MP4's comment";
}

TEST(ContactSheetLayout, ThumbnailsAveragedInAGridWithLabels)
{
    const int w = 64, h = 48;
    std::vector<uint8_t> frame(size_t(w) * h * 3, 0);
    for (int i = 0; i < 4 * 3; ++i) frame[i] = 200;  // a 4-pixel-wide bright sliver on the top row
    ContactSheet sheet(w, h);
    for (int i = 0; i < 7; ++i) sheet.add(frame.data(), i * 5.0);
    std::vector<uint8_t> rgb;
    int width = 0, height = 0;
    sheet.compose(rgb, width, height);
    const int thumbW = w / ContactSheet::Shrink, thumbH = h / ContactSheet::Shrink;
    EXPECT_EQ(width, ContactSheet::Columns * thumbW + (ContactSheet::Columns + 1) * ContactSheet::Gap);
    EXPECT_GT(height, 2 * thumbH + 3 * ContactSheet::Gap) << "seven thumbnails make two rows";
    // The sliver covers a quarter of the first 4x4 block: averaged, not dropped.
    const int g = ContactSheet::Gap;
    EXPECT_EQ(rgb[(size_t(g) * size_t(width) + size_t(g)) * 3], 50);
    EXPECT_EQ(timeLabel(125.34), "2:05.3");
    EXPECT_EQ(timeLabel(0), "0:00.0");
}

TEST(WavFile, HeaderAndSamples)
{
    TempDir dir;
    const float samples[] = {0.0f, 1.0f, -1.0f, 0.5f, 2.0f, -3.0f};
    std::string error;
    ASSERT_TRUE(writeWav(dir.file("t.wav"), {samples, 3}, error)) << error;
    const std::string wav = readFile(dir.file("t.wav"));
    ASSERT_EQ(wav.size(), 44u + 12u);
    EXPECT_EQ(wav.substr(0, 4), "RIFF");
    EXPECT_EQ(wav.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(wav.substr(36, 4), "data");
    auto sample = [&](int i) { return int16_t(uint8_t(wav[44 + 2 * i]) | (uint8_t(wav[45 + 2 * i]) << 8)); };
    EXPECT_EQ(sample(0), 0);
    EXPECT_EQ(sample(1), 32767);
    EXPECT_EQ(sample(2), -32767);
    EXPECT_EQ(sample(3), 16384);
    EXPECT_EQ(sample(4), 32767) << "clipped, not wrapped";
    EXPECT_EQ(sample(5), -32767);
}

TEST(FrameWriter, WritesEveryFrameInOrderThenDropsAfterAFailure)
{
    std::vector<int64_t> written;
    std::vector<uint8_t> firstBytes;
    FrameWriter writer(
        [&](const Frame& f) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));  // slower than the producer
            written.push_back(f.index);
            firstBytes.push_back(f.rgb[0]);
            return f.index != 30;
        },
        2);
    for (int64_t n = 0; n < 40; ++n) {
        Frame& f = writer.acquire();
        f.index = n;
        f.rgb.assign(16, uint8_t(n));  // buffers are reused: the writer must see this frame's bytes
        writer.submit(f);
    }
    EXPECT_FALSE(writer.finish());
    EXPECT_TRUE(writer.failed());
    ASSERT_EQ(written.size(), 31u) << "frames after the failed one are not written";
    for (int64_t n = 0; n <= 30; ++n) {
        EXPECT_EQ(written[size_t(n)], n);
        EXPECT_EQ(firstBytes[size_t(n)], uint8_t(n));
    }
}
