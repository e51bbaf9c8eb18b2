// MprisWatch over sd-bus. Players register names under org.mpris.MediaPlayer2 on the session bus; each
// answers the Player interface's PlaybackStatus and Metadata (xesam:title, xesam:artist, xesam:album).
// Polling keeps it to plain method calls: no match rules, no signal handling, nothing to miss.
#include "desktop/mpris_watch.h"

#include <systemd/sd-bus.h>

#include <chrono>

namespace {
constexpr const char* PlayerPrefix = "org.mpris.MediaPlayer2.";
constexpr const char* PlayerPath = "/org/mpris/MediaPlayer2";
constexpr const char* PlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr auto AskEvery = std::chrono::seconds(1);
constexpr uint64_t CallTimeoutUs = 500000;   // a stuck player is skipped after half a second

std::vector<std::string> playerNames(sd_bus* bus)
{
    std::vector<std::string> names;
    sd_bus_message* reply = nullptr;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "ListNames",
                           nullptr, &reply, "") < 0)
        return names;
    char** list = nullptr;
    if (sd_bus_message_read_strv(reply, &list) >= 0 && list) {
        for (char** n = list; *n; ++n) {
            if (std::string(*n).rfind(PlayerPrefix, 0) == 0) names.emplace_back(*n);
            free(*n);
        }
        free(list);
    }
    sd_bus_message_unref(reply);
    return names;
}

std::string status(sd_bus* bus, const std::string& player)
{
    char* text = nullptr;
    std::string out;
    if (sd_bus_get_property_string(bus, player.c_str(), PlayerPath, PlayerInterface, "PlaybackStatus", nullptr, &text) >= 0 &&
        text)
        out = text;
    free(text);
    return out;
}

// A string, or the strings of a list joined, from the variant the reader stands at.
std::string variantText(sd_bus_message* m)
{
    char type = 0;
    const char* contents = nullptr;
    std::string out;
    if (sd_bus_message_peek_type(m, &type, &contents) < 0 || type != 'v' || !contents) return out;
    if (std::string(contents) == "s") {
        const char* s = nullptr;
        if (sd_bus_message_enter_container(m, 'v', "s") >= 0 && sd_bus_message_read(m, "s", &s) >= 0 && s) out = s;
        sd_bus_message_exit_container(m);
    } else if (std::string(contents) == "as") {
        char** list = nullptr;
        if (sd_bus_message_enter_container(m, 'v', "as") >= 0 && sd_bus_message_read_strv(m, &list) >= 0 && list) {
            for (char** s = list; *s; ++s) {
                if (!out.empty()) out += "; ";
                out += *s;
                free(*s);
            }
            free(list);
        }
        sd_bus_message_exit_container(m);
    } else {
        sd_bus_message_skip(m, "v");
    }
    return out;
}

NowPlaying metadata(sd_bus* bus, const std::string& player)
{
    NowPlaying now;
    now.player = player;
    sd_bus_message* reply = nullptr;
    if (sd_bus_get_property(bus, player.c_str(), PlayerPath, PlayerInterface, "Metadata", nullptr, &reply, "a{sv}") < 0)
        return now;
    if (sd_bus_message_enter_container(reply, 'a', "{sv}") >= 0) {
        while (sd_bus_message_enter_container(reply, 'e', "sv") > 0) {
            const char* key = nullptr;
            if (sd_bus_message_read(reply, "s", &key) < 0 || !key) break;
            const std::string k = key;
            if (k == "xesam:title") now.title = variantText(reply);
            else if (k == "xesam:artist") now.artist = variantText(reply);
            else if (k == "xesam:album") now.album = variantText(reply);
            else sd_bus_message_skip(reply, "v");
            sd_bus_message_exit_container(reply);
        }
        sd_bus_message_exit_container(reply);
    }
    sd_bus_message_unref(reply);
    return now;
}

NowPlaying ask(sd_bus* bus)
{
    const std::vector<std::string> players = playerNames(bus);
    std::vector<std::string> statuses;
    for (const std::string& p : players) statuses.push_back(status(bus, p));
    const int chosen = chooseMprisPlayer(statuses);
    return chosen < 0 ? NowPlaying() : metadata(bus, players[size_t(chosen)]);
}
}  // namespace

int chooseMprisPlayer(const std::vector<std::string>& statuses)
{
    for (const char* wanted : {"Playing", "Paused"})
        for (size_t i = 0; i < statuses.size(); ++i)
            if (statuses[i] == wanted) return int(i);
    return -1;
}

MprisWatch::MprisWatch() : thread_([this] { run(); }) {}

MprisWatch::~MprisWatch()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void MprisWatch::run()
{
    sd_bus* bus = nullptr;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        if (!bus && sd_bus_open_user(&bus) >= 0) sd_bus_set_method_call_timeout(bus, CallTimeoutUs);
        const NowPlaying now = bus ? ask(bus) : NowPlaying();
        if (bus && !sd_bus_is_open(bus)) bus = sd_bus_flush_close_unref(bus);   // the bus went away: open again later
        lock.lock();
        if (now != latest_) {
            latest_ = now;
            fresh_ = true;
        }
        wake_.wait_for(lock, AskEvery, [this] { return stopping_; });
    }
    lock.unlock();
    if (bus) sd_bus_flush_close_unref(bus);
}

bool MprisWatch::changed(NowPlaying& now)
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (!fresh_ || latest_ == taken_) {
        fresh_ = false;
        return false;
    }
    fresh_ = false;
    taken_ = now = latest_;
    return true;
}
