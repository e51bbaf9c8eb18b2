// showtrack: the show to a listener's own track, live on the desktop. The track is read once for its
// cues before the display opens, then played as the show plays its own. `show FILE` starts it.
#include <cstdio>
#include <cstring>
#include <string>

#include "audio/music.h"
#include "main/listener_show.h"
#include "main/show.h"
#include "utils/video.h"

int main(int argc, char** argv)
{
    if (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
        std::puts("usage: showtrack FILE    plays the show to FILE (WAV, FLAC, Ogg Vorbis, Opus or MP3), full-screen;\n"
                  "                         Escape ends it. Run in the show's data folder (show FILE does that).");
        return 0;
    }
    if (argc != 2 || argv[1][0] == '\0') {
        std::fputs("showtrack: wants one track file (see showtrack --help)\n", stderr);
        return 2;
    }
    ShowScore score;
    std::string message;
    if (readListenerShow("show", argv[1], nullptr, score, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    initVideo(ShowWidth, ShowHeight, true);
    startShow(score);
    initMusic(argv[1], TrackFormat::AnyFormat);
    LiveHost host;
    runShow(host);
    closeMusic();
    stopShow();
    closeVideo();
    return 0;
}
