// The real show, end to end, in a temporary working directory on a private X server: its failure
// lines and statuses, Escape, stop signals, a dying X server, and the closing screen as it appears,
// on screens of the show's size and larger, with and without a window manager, and with one that
// starts in a race with the show.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "support/png_write.h"
#include "support/process.h"
#include "support/show_files.h"
#include "support/temp_dir.h"
#include "support/tone_track.h"
#include "support/xvfb.h"

namespace {
const std::string ShowBinary = std::string(SHOW_BIN_DIR) + "/show";

// The closing image: four flat quadrants, easy to recognise and to measure opacity on.
struct Quadrant {
    int x, y;     // centre, in image pixels from the bottom-left
    int r, g, b;
};
constexpr Quadrant EndQuadrants[] = {
    {128, 128, 250,  40,  40},   // bottom-left
    {384, 128,  40, 250,  40},   // bottom-right
    {128, 384,  40,  40, 250},   // top-left
    {384, 384, 250, 250, 250},   // top-right
};

void writeEndImage(const std::string& path)
{
    std::vector<uint8_t> rgba(512 * 512 * 4);
    for (int row = 0; row < 512; ++row) {
        const int y = 511 - row;  // file rows run top first
        for (int x = 0; x < 512; ++x) {
            const Quadrant& q = EndQuadrants[(y >= 256 ? 2 : 0) + (x >= 256 ? 1 : 0)];
            uint8_t* p = &rgba[(size_t(row) * 512 + size_t(x)) * 4];
            p[0] = uint8_t(q.r);
            p[1] = uint8_t(q.g);
            p[2] = uint8_t(q.b);
            p[3] = 255;
        }
    }
    writeRgbaPng(path, 512, 512, rgba);
}

struct Pixel {
    int r, g, b;
};
Pixel at(const Image& shot, int x, int y)
{
    const uint8_t* p = &shot.pixels[(size_t(y) * size_t(shot.width) + size_t(x)) * size_t(shot.channels)];
    return {p[0], p[1], p[2]};
}

// A rectangle on the screen, in pixels from the bottom-left, like the shot's rows.
struct Area {
    int x, y, width, height;
};
constexpr Area ShowsLowerLeftSquare = {0, 0, 512, 512};  // where the closing image belongs on a 1024x768 screen

std::string describe(const Area& a)
{
    return std::to_string(a.width) + "x" + std::to_string(a.height) + " at (" + std::to_string(a.x) + ", " +
           std::to_string(a.y) + ") from the bottom-left";
}

// Around every pixel brighter than a filtered edge's faint fringe; empty on a dark shot.
Area litAreaIn(const Image& shot)
{
    int left = shot.width, right = -1, bottom = shot.height, top = -1;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            const Pixel p = at(shot, x, y);
            if (std::max({p.r, p.g, p.b}) < 24) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            bottom = std::min(bottom, y);
            top = std::max(top, y);
        }
    if (right < 0) return {0, 0, 0, 0};
    return {left, bottom, right - left + 1, top - bottom + 1};
}

// The opacity the closing image was drawn with over that area, or a negative value if the shot does
// not show it there.
double closingOpacityIn(const Image& shot, const Area& area)
{
    if (shot.channels < 3 || area.width <= 0 || area.height <= 0 || area.x + area.width > shot.width ||
        area.y + area.height > shot.height)
        return -1;
    double lowest = 2, highest = -1;
    for (const Quadrant& q : EndQuadrants) {
        const Pixel p = at(shot, area.x + q.x * area.width / 512, area.y + q.y * area.height / 512);
        const double ratios[] = {p.r / double(q.r), p.g / double(q.g), p.b / double(q.b)};
        for (double ratio : ratios) {
            lowest = std::min(lowest, ratio);
            highest = std::max(highest, ratio);
        }
    }
    if (highest < 0.2 || highest - lowest > 0.03) return -1;  // black, or not one image under one opacity
    return (lowest + highest) / 2;
}

// margin: pixels around the area that a scaling filter may touch.
bool blackOutside(const Image& shot, const Area& area, int margin = 0)
{
    for (int y = 0; y < shot.height; y += 7)
        for (int x = 0; x < shot.width; x += 7) {
            if (x >= area.x - margin && x < area.x + area.width + margin && y >= area.y - margin &&
                y < area.y + area.height + margin)
                continue;
            const Pixel p = at(shot, x, y);
            if (p.r + p.g + p.b > 0) return false;
        }
    return true;
}

// Drawn at the screen's own pixels, the image's top edge (its quad's, not a texel boundary) goes from
// black to the image in one row; a picture scaled up 1.41x by the compatibility layer spreads it over
// two (measured: a row at 86 % of the image's level).
bool topEdgeIsSharp(const Image& shot, const Area& image)
{
    const int x = image.x + image.width / 4, top = image.y + image.height - 1;
    const Pixel inside = at(shot, x, top), within = at(shot, x, top - 8), outside = at(shot, x, top + 1);
    return outside.r + outside.g + outside.b == 0 && inside.r >= within.r * 97 / 100;
}

// The show has passed its display set-up once its music plays, on a decoder thread of its own.
bool musicPlays(pid_t pid)
{
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task", error)) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        if (name == "musicdecode") return true;
    }
    return false;
}

class ShowEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server = std::make_unique<XvfbServer>(); }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override { putShowImages(dir.path()); }

    ProcessOptions showOptions(double timeout = 120) const { return server->showOptions(dir.path(), timeout); }

    void putTrack(double seconds)
    {
        Tone tone;
        tone.seconds = seconds;
        tone.leftHz = 220;
        tone.rightHz = 440;
        std::filesystem::rename(makeToneMp3(dir.path(), "made.mp3", tone), dir.file("bass_300808.mp3"));
    }

    static std::unique_ptr<XvfbServer> server;
    TempDir dir;
};
std::unique_ptr<XvfbServer> ShowEndToEnd::server;
}  // namespace

TEST_F(ShowEndToEnd, MissingImageStopsWithItsName)
{
    putTrack(5);
    for (const char* name : {"star.png", "blend07.png", "end.png"}) {
        std::filesystem::rename(dir.file(name), dir.file("away.png"));
        const ProcessResult r = runProcess({ShowBinary}, showOptions());
        EXPECT_EQ(r.out, std::string("can't open texture ") + name + "\n");
        EXPECT_NE(r.exitCode, 0) << name;
        EXPECT_EQ(r.signal, 0) << name;
        std::filesystem::rename(dir.file("away.png"), dir.file(name));
    }
}

TEST_F(ShowEndToEnd, NoDisplayStopsWithSdlsReason)
{
    putTrack(5);
    // Named, the desktop driver fails in SDL itself; unnamed, SDL falls back to a driver that shows
    // nothing, and the show must not play to nobody and call that a success.
    for (const char* driver : {"x11", ""}) {
        ProcessOptions options = showOptions();
        options.env.erase("DISPLAY");
        options.unsetEnv.insert(options.unsetEnv.end(), {"DISPLAY", "WAYLAND_DISPLAY"});
        if (*driver) options.env["SDL_VIDEODRIVER"] = driver;
        const ProcessResult r = runProcess({ShowBinary}, options);
        EXPECT_EQ(r.exitCode, 1) << driver;
        EXPECT_EQ(r.out.rfind("couldn't initialize SDL: ", 0), 0u) << r.out;
        EXPECT_GT(r.out.size(), std::string("couldn't initialize SDL: \n").size()) << "SDL's reason follows";
        EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << r.out;
        if (!*driver) {
            EXPECT_NE(r.out.find("no display"), std::string::npos) << r.out;
        }
    }
}

TEST_F(ShowEndToEnd, AnUnknownResolutionSettingStopsWithIt)
{
    putTrack(5);
    ProcessOptions options = showOptions();
    options.env["SHOW_RESOLUTION"] = "1920x1080";
    const ProcessResult r = runProcess({ShowBinary}, options);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "SHOW_RESOLUTION is '1920x1080': it must be native or 1024x768\n");
}

TEST_F(ShowEndToEnd, StopSignalsEndTheShowLikeEscape)
{
    putTrack(60);
    for (int signalNumber : {SIGTERM, SIGINT}) {
        ProcessOptions options = showOptions(30);
        options.env.erase("SDL_NO_SIGNAL_HANDLERS");  // as from a terminal: SDL catches both signals
        options.unsetEnv.push_back("SDL_NO_SIGNAL_HANDLERS");
        Process show({ShowBinary}, options);
        sleep(2);
        kill(show.pid(), signalNumber);
        const ProcessResult r = show.wait();
        EXPECT_FALSE(r.timedOut) << "signal " << signalNumber << " was dropped";
        EXPECT_EQ(r.exitCode, 0) << "signal " << signalNumber;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(ShowEndToEnd, DeadXServerEndsTheShowWithoutACrash)
{
    putTrack(60);
    auto ownServer = std::make_unique<XvfbServer>();
    Process show({ShowBinary}, ownServer->showOptions(dir.path(), 30));
    sleep(2);
    ownServer.reset();
    const ProcessResult r = show.wait();
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.signal, 0);
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(ShowEndToEnd, EscapeEndsTheShowQuietly)
{
    putTrack(60);
    // Also where the show resizes its window itself: a larger screen with no window manager.
    XvfbServer larger({1920, 1080, false});
    for (XvfbServer* screen : {server.get(), &larger}) {
        Process show({ShowBinary}, screen->showOptions(dir.path(), 120));
        // The key only reaches the window once it is up; keep pressing until the show has gone.
        const double deadline = monotonicSeconds() + 30;
        while (show.running() && monotonicSeconds() < deadline) {
            usleep(700 * 1000);
            screen->sendKey("Escape");
        }
        const ProcessResult r = show.wait();
        EXPECT_FALSE(r.timedOut) << screen->display();
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
    }
}

TEST_F(ShowEndToEnd, ShortTrackCarriesTheShowToItsClosingScreenAndExit)
{
    constexpr double TrackSeconds = 3;
    putTrack(TrackSeconds);
    writeEndImage(dir.file("end.png"));
    const double start = monotonicSeconds();
    Process show({ShowBinary}, showOptions());
    std::vector<double> opacities;
    double firstClosing = -1;
    bool framed = true;
    while (show.running()) {
        Image shot;
        if (!server->screenshot(shot)) continue;
        const double opacity = closingOpacityIn(shot, ShowsLowerLeftSquare);
        if (opacity < 0) continue;
        if (firstClosing < 0) firstClosing = monotonicSeconds() - start;
        opacities.push_back(opacity);
        framed = framed && blackOutside(shot, ShowsLowerLeftSquare);
    }
    const ProcessResult r = show.wait();
    const double total = monotonicSeconds() - start;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    ASSERT_FALSE(opacities.empty()) << "the closing screen was never seen";
    EXPECT_GE(firstClosing, TrackSeconds) << "the closing screen came before the music ended";
    EXPECT_GE(total, TrackSeconds + 2.1);
    EXPECT_LT(total, TrackSeconds + 2.1 + 10) << "the show lingered after its closing screen";
    for (double o : opacities) {
        EXPECT_GE(o, 0.79);
        EXPECT_LE(o, 1.0);
    }
    EXPECT_TRUE(framed) << "only the lower-left 512x512 square is drawn";
}

// showtrack plays a listener's track live as the show plays its own: with no bass_300808.mp3 in the
// folder at all, a 3 s WAV with two accents carries it through its cues to the closing screen and exit.
TEST_F(ShowEndToEnd, ListenersTrackPlaysLiveToItsEnd)
{
    constexpr double TrackSeconds = 3;
    Tone tone;
    tone.seconds = TrackSeconds;
    const std::string track = dir.file("own track ü.wav");
    writeToneWav(track, tone, {0.8, 1.9});
    const double start = monotonicSeconds();
    const ProcessResult r = runProcess({std::string(SHOW_BIN_DIR) + "/showtrack", track}, showOptions());
    const double total = monotonicSeconds() - start;
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    EXPECT_GE(total, TrackSeconds + 2.1);
    EXPECT_LT(total, TrackSeconds + 2.1 + 10);
}

// Found wherever it is drawn, the closing image must sit in the picture's lower-left 512x512 square:
// the picture letterboxed to the screen at its scale when the SDL 1.2 layer scales (its default), or
// centred at its size when the layer does not, and black around it.
TEST_F(ShowEndToEnd, ClosingImageSitsInThePicturesLowerLeftSquareOnEveryScreen)
{
    putTrack(3);
    writeEndImage(dir.file("end.png"));
    struct Case {
        XvfbScreen screen;
        bool layerScales;
        Area expected;
        bool native;   // SHOW_RESOLUTION=native: drawn at the screen's own pixels, not scaled up
    };
    const Case cases[] = {
        {{1024, 768, false}, true, ShowsLowerLeftSquare, false},
        {{1920, 1080, false}, true, {240, 0, 720, 720}, false},  // 1440x1080 from x 240
        {{1920, 1080, true}, true, {240, 0, 720, 720}, false},
        {{1920, 1080, false}, false, {448, 156, 512, 512}, false},
        {{1920, 1080, false}, true, {240, 0, 720, 720}, true},
        {{1920, 1080, true}, true, {240, 0, 720, 720}, true},
    };
    for (const Case& c : cases) {
        const std::string screenName = std::to_string(c.screen.width) + "x" + std::to_string(c.screen.height) +
                                       (c.screen.windowManager ? " with openbox" : " without a window manager") +
                                       (c.layerScales ? "" : ", SDL12COMPAT_OPENGL_SCALING=0") +
                                       (c.native ? ", SHOW_RESOLUTION=native" : "");
        SCOPED_TRACE(screenName);
        XvfbServer screen(c.screen);
        ProcessOptions options = screen.showOptions(dir.path(), 120);
        if (!c.layerScales) options.env["SDL12COMPAT_OPENGL_SCALING"] = "0";
        if (c.native) options.env["SHOW_RESOLUTION"] = "native";
        Process show({ShowBinary}, options);
        std::vector<Area> closing;
        bool framed = true, sharp = true;
        while (show.running()) {
            Image shot;
            if (!screen.screenshot(shot)) continue;
            const Area lit = litAreaIn(shot);
            if (closingOpacityIn(shot, lit) < 0) continue;
            closing.push_back(lit);
            framed = framed && blackOutside(shot, c.expected, 2);
            if (c.native) sharp = sharp && topEdgeIsSharp(shot, c.expected);
        }
        const ProcessResult r = show.wait();
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
        EXPECT_FALSE(closing.empty()) << "the closing screen was never seen";
        for (const Area& a : closing) {
            const bool placed = std::abs(a.x - c.expected.x) <= 2 && std::abs(a.y - c.expected.y) <= 2 &&
                                std::abs(a.width - c.expected.width) <= 2 &&
                                std::abs(a.height - c.expected.height) <= 2;
            if (placed) continue;
            ADD_FAILURE() << "lit: " << describe(a) << ", expected " << describe(c.expected);
            break;
        }
        EXPECT_TRUE(framed) << "something is lit outside " << describe(c.expected);
        EXPECT_TRUE(sharp) << "the image's top edge is spread over rows: the picture was scaled up";
    }
}

// A session that starts openbox and the show together: openbox may hold the root but not yet serve it
// when the show maps its window (here it is stopped right then), or it may start after the window is
// up. Either way openbox must soon make the window full screen, covering the screen, and the window
// must take the one Escape that ends the show.
TEST_F(ShowEndToEnd, WindowManagerInARaceWithTheShowStillGivesItTheScreenAndTheKeys)
{
    putTrack(60);
    struct Case {
        int width, height;
        ManagerStart start;   // StoppedHoldingRoot (resumed later) or Now (started later)
        double afterWindow;   // seconds from the window's creation to openbox resuming or starting
        bool native = false;  // SHOW_RESOLUTION=native: the mode is set again at the screen's size
    };
    const Case cases[] = {
        {1024, 768, ManagerStart::StoppedHoldingRoot, 0.5},
        {1920, 1080, ManagerStart::StoppedHoldingRoot, 0.5},
        {1920, 1080, ManagerStart::StoppedHoldingRoot, 6},  // stopped for longer than the show waits (3 s)
        {1024, 768, ManagerStart::Now, 0.5},
        {1920, 1080, ManagerStart::Now, 0.5},
        {1920, 1080, ManagerStart::StoppedHoldingRoot, 6, true},
        {1920, 1080, ManagerStart::Now, 0.5, true},
    };
    for (const Case& c : cases) {
        const bool stalled = c.start == ManagerStart::StoppedHoldingRoot;
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + ", openbox " +
                     (stalled ? "resumed " : "started ") + std::to_string(c.afterWindow) + " s after the window" +
                     (c.native ? ", SHOW_RESOLUTION=native" : ""));
        XvfbServer screen({c.width, c.height, false});
        if (stalled) screen.startWindowManager(ManagerStart::StoppedHoldingRoot);
        ProcessOptions options = screen.showOptions(dir.path(), 30);
        if (c.native) options.env["SHOW_RESOLUTION"] = "native";
        Process show({ShowBinary}, options);
        const double deadline = monotonicSeconds() + 20;
        while (!screen.windowOf(show.pid()).exists && monotonicSeconds() < deadline) usleep(20 * 1000);
        ASSERT_TRUE(screen.windowOf(show.pid()).exists) << "the show made no window";
        usleep(useconds_t(c.afterWindow * 1e6));
        if (c.afterWindow > 5) {
            EXPECT_TRUE(musicPlays(show.pid())) << "the show still waits on a stopped window manager";
        }
        if (stalled) screen.resumeWindowManager();
        else screen.startWindowManager(ManagerStart::Now);

        // 2 s on an idle machine; on a loaded one openbox alone can take longer to finish starting.
        constexpr double CoverWithinSeconds = 2 * 3;
        const double since = monotonicSeconds();
        WindowPlace place = screen.windowOf(show.pid());
        // Judged as openbox has it: before openbox acts, the window can already cover the screen.
        while (!screen.managedFullScreen(place) && monotonicSeconds() - since < CoverWithinSeconds) {
            usleep(50 * 1000);
            place = screen.windowOf(show.pid());
        }
        EXPECT_TRUE(screen.managedFullScreen(place))
            << CoverWithinSeconds << " s on, the window is " << place.width << "x" << place.height << " at +" << place.x << "+" << place.y
            << (place.viewable ? "" : ", not shown") << (place.managed ? "" : ", not managed")
            << (place.fullScreen ? "" : ", not full screen to openbox");
        screen.sendKey("Escape");
        const ProcessResult r = show.wait();
        EXPECT_FALSE(r.timedOut) << "the Escape was lost";
        EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    }
}
