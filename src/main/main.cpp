// The show: opens the display, loads everything, plays the track with its effects, shows the
// closing image and exits. It takes no arguments and prints nothing unless it must stop.
#include "audio/music.h"
#include "main/show.h"
#include "utils/video.h"

int main(int, char**)
{
    initVideo(ShowWidth, ShowHeight, true);
    startShow();
    initMusic(TrackFileName);
    LiveHost host;
    runShow(host);   // the same steps a browser takes, one per animation frame
    closeMusic();
    stopShow();
    closeVideo();
    return 0;
}
