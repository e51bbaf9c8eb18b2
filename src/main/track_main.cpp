// showtrack: the show to a listener's own track, live on the desktop. The track is read once for its
// cues, tempo and tags before the display opens, then played as the show plays its own, its posters
// naming it. `show FILE` starts it.
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
        std::puts("usage: showtrack [--title TEXT] [--artist TEXT] FILE\n"
                  "    plays the show to FILE (WAV, FLAC, Ogg Vorbis, Opus or MP3), full-screen; Escape ends it.\n"
                  "    The posters and the closing card name the track from its tags; --title and --artist\n"
                  "    say it instead. Run in the show's data folder (show FILE does that).");
        return 0;
    }
    WordOptions words;
    int i = 1;
    for (; i + 1 < argc && (std::strcmp(argv[i], "--title") == 0 || std::strcmp(argv[i], "--artist") == 0); i += 2)
        (std::strcmp(argv[i], "--title") == 0 ? words.title : words.artist) = argv[i + 1];
    if (i < argc && (std::strcmp(argv[i], "--title") == 0 || std::strcmp(argv[i], "--artist") == 0)) {
        std::fprintf(stderr, "showtrack: %s needs a value (see showtrack --help)\n", argv[i]);
        return 2;
    }
    if (argc != i + 1 || argv[i][0] == '\0') {
        std::fputs("showtrack: wants one track file (see showtrack --help)\n", stderr);
        return 2;
    }
    const char* file = argv[i];
    ShowScore score;
    std::string message;
    if (readListenerShow("show", file, nullptr, score, message, false, words)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    initVideo(ShowWidth, ShowHeight, true);
    startShow(score);
    initMusic(file, TrackFormat::AnyFormat);
    LiveHost host;
    runShow(host);
    closeMusic();
    stopShow();
    closeVideo();
    return 0;
}
