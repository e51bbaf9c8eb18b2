// The real show with the real track, to its end, on a private X server: it exits 0 and prints
// nothing, screenshots through the music show effects, and the closing image appears at the end.
// The screenshots are kept in the build tree (show_shots/) for a person to look at.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/png_write.h"
#include "support/process.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "support/xvfb.h"
#include "utils/image.h"

namespace {
const std::string ShowBinary = std::string(SHOW_BIN_DIR) + "/show";
const std::string Track = std::string(SHOW_DATA_DIR) + "/bass_300808.mp3";

const uint8_t* pixelAt(const Image& image, int x, int y)
{
    return &image.pixels[(size_t(y) * size_t(image.width) + size_t(x)) * size_t(image.channels)];
}

// Lit pixels on a 4-pixel grid of the whole screen.
int litSamples(const Image& shot)
{
    int n = 0;
    for (int y = 0; y < shot.height; y += 4)
        for (int x = 0; x < shot.width; x += 4) {
            const uint8_t* p = pixelAt(shot, x, y);
            n += p[0] + p[1] + p[2] > 24;
        }
    return n;
}

// The closing image's opacity in a screenshot, or a negative value when the shot is something else:
// the lower-left 512 x 512 square must be end.png under one opacity, and everything else black.
double closingOpacityIn(const Image& shot, const Image& end)
{
    if (shot.width != 1024 || shot.height != 768 || shot.channels < 3 || end.channels < 3) return -1;
    double shotSum = 0, endSum = 0;
    for (int y = 0; y < 512; y += 3)
        for (int x = 0; x < 512; x += 3)
            for (int c = 0; c < 3; ++c) {
                shotSum += pixelAt(shot, x, y)[c];
                endSum += pixelAt(end, x, y)[c];
            }
    if (endSum <= 0) return -1;
    const double opacity = shotSum / endSum;
    if (opacity < 0.5) return -1;  // black, or nearly
    // The opacity pulses, and a screenshot may catch two frames at once: allow a few percent.
    for (int y = 0; y < 512; y += 3)
        for (int x = 0; x < 512; x += 3)
            for (int c = 0; c < 3; ++c) {
                const double want = opacity * pixelAt(end, x, y)[c];
                if (std::fabs(pixelAt(shot, x, y)[c] - want) > 0.06 * want + 3) return -1;
            }
    for (int y = 0; y < 768; y += 5)
        for (int x = 0; x < 1024; x += 5) {
            if (x < 512 && y < 512) continue;
            const uint8_t* p = pixelAt(shot, x, y);
            if (p[0] + p[1] + p[2] > 0) return -1;
        }
    return opacity;
}

void keep(const Image& shot, const std::string& name)
{
    const std::string dir = std::string(SHOW_SHOTS_DIR);
    std::filesystem::create_directories(dir);
    std::vector<uint8_t> rgba(size_t(shot.width) * size_t(shot.height) * 4);
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const uint8_t* p = pixelAt(shot, x, y);
            uint8_t* q = &rgba[(size_t(shot.height - 1 - y) * size_t(shot.width) + size_t(x)) * 4];
            q[0] = p[0], q[1] = p[1], q[2] = p[2], q[3] = 255;
        }
    writeRgbaPng(dir + "/" + name, shot.width, shot.height, rgba);
}
}  // namespace

TEST(ShowRun, RealShowPlaysTheTrackToItsClosingScreen)
{
    if (!std::filesystem::exists(Track)) GTEST_SKIP() << "data/bass_300808.mp3 is not there yet";
    XvfbServer server;
    TempDir dir;
    putShowImages(dir.path());
    copyFile(Track, dir.file("bass_300808.mp3"));
    const Image end = loadPng(dir.file("end.png").c_str());

    const ProcessOptions options = server.showOptions(dir.path(), 420);
    const double started = monotonicSeconds();
    Process show({ShowBinary}, options);

    // Moments in the music (seconds after launch, start-up included) where the show is busy.
    const double moments[] = {30, 64, 90, 118, 150, 171};
    std::vector<int> lit;
    for (double moment : moments) {
        while (show.running() && monotonicSeconds() - started < moment) usleep(100 * 1000);
        Image shot;
        if (!show.running() || !server.screenshot(shot)) break;
        lit.push_back(litSamples(shot));
        keep(shot, "show_" + std::to_string(int(moment)) + "s.png");
    }

    // From the end of the music on, watch for the closing screen until the show has gone.
    while (show.running() && monotonicSeconds() - started < 183) usleep(100 * 1000);
    std::vector<double> closing;
    while (show.running()) {
        Image shot;
        if (!server.screenshot(shot)) continue;
        const double opacity = closingOpacityIn(shot, end);
        if (opacity < 0) {
            if (litSamples(shot) > 0) keep(shot, "draining.png");  // the last one before the closing screen
            continue;
        }
        if (closing.empty()) keep(shot, "closing.png");
        closing.push_back(opacity);
    }
    const ProcessResult r = show.wait();
    const double took = monotonicSeconds() - started;

    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_GT(took, 186) << "the show ends only after the whole track";
    ASSERT_EQ(lit.size(), std::size(moments));
    for (size_t i = 0; i < lit.size(); ++i) EXPECT_GT(lit[i], 2000) << "at " << moments[i] << " s the screen is nearly black";
    ASSERT_FALSE(closing.empty()) << "the closing screen was never seen";
    for (double o : closing) {
        EXPECT_GE(o, 0.78);
        EXPECT_LE(o, 1.02);
    }
}
