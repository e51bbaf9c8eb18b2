// What a desktop media player says it is playing, over MPRIS on the session bus (D-Bus): the title,
// artist and album of the playing player's track. Asked once a second on a thread of its own, so a
// slow or stuck player never holds up a frame; the main thread takes each change once.
#pragma once
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct NowPlaying {
    std::string player;   // its bus name, empty: no player announces a track
    std::string title, artist, album;
    bool operator==(const NowPlaying& o) const
    {
        return player == o.player && title == o.title && artist == o.artist && album == o.album;
    }
    bool operator!=(const NowPlaying& o) const { return !(*this == o); }
};

// --- Which player's track is shown (pure): the first playing, else the first paused, else none (-1).
int chooseMprisPlayer(const std::vector<std::string>& playbackStatuses);

class MprisWatch {
public:
    MprisWatch();    // starts asking; without a session bus it keeps trying, quietly
    ~MprisWatch();   // stops within a moment
    MprisWatch(const MprisWatch&) = delete;
    MprisWatch& operator=(const MprisWatch&) = delete;

    // --- Main thread
    bool changed(NowPlaying& now);   // true once per change, with what plays now

private:
    void run();

    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    NowPlaying latest_, taken_;
    bool fresh_ = false;
};
