// showcap: the show rendered offline to a video, frame-exact and in sync, with no display or sound
// card. See captureUsage() or `showcap --help`.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "desktop/sndfile_decoder.h"
#include "main/listener_show.h"
#include "main/listener_words.h"
#include "words/posters.h"
#include "utils/typeset.h"
#include "capture.h"
#include "capture_options.h"
#include "source_commit.h"

namespace {
// An installed showcap finds the show's files where the install put them, relative to itself
// (SHOWCAP_INSTALLED_DATA, from its own folder), so the install can move as a whole. The build
// tree's copy has no such folder beside it and keeps "." (its callers pass --data).
std::string installedDataDir()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return "";
    const fs::path data = self.parent_path() / SHOWCAP_INSTALLED_DATA;
    return fs::is_directory(data, ec) ? data.lexically_normal().string() : "";
}

// Everything a frame depends on besides the options: two machines whose lines are the same draw the
// same frames (a listener's posters included), so the chunks of one capture may come from either.
int printVersion(const CaptureOptions& o)
{
    std::string error;
    const uint64_t digest = dataDigest(o.dataDir, error);
    if (!error.empty()) return reportFailure(error);
    std::printf("showcap %s\nsource %s\ndata %016llx\ngl %s\ndecoders %s\nwords %s\n", SHOWCAP_VERSION,
                ShowcapSourceCommit, static_cast<unsigned long long>(digest), glRenderer().c_str(),
                listenerDecoderVersions().c_str(), wordsDependencies(FontDirectory).c_str());
    return 0;
}
// --posters: the track read as a capture reads it, then only its posters written out.
int writeTrackPosters(const CaptureOptions& o)
{
    ShowScore score;
    std::string message;
    if (readListenerShow("showcap", o.track, nullptr, score, message, o.quiet, {o.title, o.artist, o.trackName})) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    std::string error;
    if (!writePosters(score.posters, o.posters, error)) return reportFailure(error);
    return 0;
}
}  // namespace

int main(int argc, char** argv)
{
    // Every run draws on SDL's offscreen driver: a GL context with no X server, whatever DISPLAY says.
    // The sound device is never opened.
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    // The installed folder goes first as a --data of its own, so one given on the command line wins.
    std::vector<std::string> args;
    if (const std::string data = installedDataDir(); !data.empty()) args = {"--data", data};
    args.insert(args.end(), argv + 1, argv + argc);
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(args, options, error)) {
        std::fprintf(stderr, "showcap: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(captureUsage(), stdout);
        return 0;
    }
    if (options.version) return printVersion(options);
    if (!options.posters.empty()) return writeTrackPosters(options);
    return options.join.empty() ? runCapture(options) : runJoin(options);
}
