// The real show through a sound server, heard from the sink's monitor: holes in the music, how far the
// picture's music position is from the sound, how much audio is queued when each callback starts, and
// how late the music starts. run_audio_sync.sh sets up the server, the display and the track.
//   audio_sync --make-track FILE.wav SECONDS   the bench track (a 172 Hz tone, a click every 0.5 s)
//   audio_sync SINK                            one run in a directory holding the show's files
// One run prints a line of figures and what the audio thread's scheduling was; AUDIO_SYNC_DEBUG=1 also
// prints each hole, the first callbacks and clicks, and the longest stalls.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/decoded_track.h"
#include "audio/music.h"
#include "desktop/stream_music.h"
#include "audio/music_errors.h"
#include "main/show.h"
#include "utils/video.h"

namespace {
constexpr double Rate = MusicSampleRate;

int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// --- The track: a quiet tone that never falls silent, with loud clicks to find in the recording
int makeTrack(const char* path, double seconds)
{
    const uint32_t frames = uint32_t(seconds * Rate);
    std::vector<int16_t> pcm(size_t(frames) * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = i / Rate;
        double v = 0.25 * std::sin(2 * M_PI * 172 * t);
        const double sinceClick = std::fmod(t, 0.5);
        if (t >= 1.0 && sinceClick < 0.004) v += 0.7 * std::sin(2 * M_PI * 2756 * sinceClick);
        pcm[2 * i] = pcm[2 * i + 1] = int16_t(std::lround(v * 32767));
    }
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return 1;
    auto u32 = [f](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [f](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    const uint32_t bytes = frames * 4;
    std::fwrite("RIFF", 1, 4, f), u32(36 + bytes), std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16), u16(1), u16(2), u32(uint32_t(Rate)), u32(uint32_t(Rate) * 4), u16(4), u16(16);
    std::fwrite("data", 1, 4, f), u32(bytes);
    std::fwrite(pcm.data(), 2, pcm.size(), f);
    return std::fclose(f) == 0 ? 0 : 1;
}

// Click onsets (frames): the first sample over half scale after a quarter second below it.
std::vector<double> onsets(const std::vector<float>& mono)
{
    std::vector<double> found;
    size_t quietSince = 0;
    for (size_t i = 0; i < mono.size(); ++i) {
        if (std::fabs(mono[i]) < 0.5f) continue;
        if (i - quietSince > size_t(Rate / 4) || found.empty()) found.push_back(double(i));
        quietSince = i;
    }
    return found;
}

// --- The monitor, recorded by parec with the moment each piece arrived
struct Recording {
    std::vector<int16_t> samples;                          // interleaved stereo
    std::vector<std::pair<int64_t, uint64_t>> arrivals;   // (time, frames so far)
};

class Recorder {
public:
    explicit Recorder(const std::string& sink)
    {
        int fds[2];
        if (pipe(fds) != 0) std::exit(2);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            close(fds[1]);
            const std::string device = sink + ".monitor";
            // The recorder's latency becomes the sink's (PulseAudio) or the whole graph's quantum
            // (PipeWire) when it is the lowest asked: 20 ms, the show's own, measures the show as it
            // plays alone; AUDIO_SYNC_RECORDER_MS asks for another (5 ms made PipeWire's graph drop
            // 5 ms blocks beside a build).
            const char* ms = std::getenv("AUDIO_SYNC_RECORDER_MS");
            const std::string latency = std::string("--latency-msec=") + (ms ? ms : "20");
            execlp("parec", "parec", "-d", device.c_str(), "--raw", "--format=s16le", "--rate=44100", "--channels=2",
                   latency.c_str(), (char*)nullptr);
            _exit(127);
        }
        close(fds[1]);
        fd_ = fds[0];
        recording.samples.reserve(size_t(Rate * 2 * 240));
        thread_ = std::thread([this] {
            int16_t buffer[4096];
            ssize_t n;
            size_t carry = 0;   // a read may end inside a sample
            while ((n = read(fd_, reinterpret_cast<char*>(buffer) + carry, sizeof buffer - carry)) > 0) {
                const int64_t t = nowNs();
                const size_t bytes = carry + size_t(n);
                const size_t whole = bytes / 4 * 4;
                recording.samples.insert(recording.samples.end(), buffer, buffer + whole / 2);
                recording.arrivals.push_back({t, recording.samples.size() / 2});
                arrived_.store(recording.arrivals.size(), std::memory_order_release);
                carry = bytes - whole;
                std::memmove(buffer, reinterpret_cast<char*>(buffer) + whole, carry);
            }
        });
    }
    void stop()
    {
        kill(pid_, SIGINT);
        thread_.join();
        waitpid(pid_, nullptr, 0);
        close(fd_);
    }
    size_t started() const { return arrived_.load(std::memory_order_acquire); }
    Recording recording;

private:
    std::atomic<size_t> arrived_{0};
    pid_t pid_ = -1;
    int fd_ = -1;
    std::thread thread_;
};

// How far ahead of its own clock the sink renders, ms: a null sink hands a block to its monitor when
// it renders it, and plays it (as a device would) over the block's length, so the monitor hears each
// sample that much early. The sink's configured latency, from pactl; 0 if it shows none.
double sinkRenderAheadMs(const std::string& sink)
{
    std::FILE* p = popen("pactl list sinks 2>/dev/null", "r");
    if (!p) return 0;
    char line[512];
    bool ours = false;
    double ms = 0;
    while (std::fgets(line, sizeof line, p)) {
        const std::string l(line);
        if (l.find("Name: ") != std::string::npos) ours = l.find("Name: " + sink + "\n") != std::string::npos;
        const size_t c = l.find("configured ");
        if (ours && l.find("Latency: ") != std::string::npos && c != std::string::npos) ms = std::atof(l.c_str() + c + 11) / 1000;
    }
    pclose(p);
    return ms;
}

// --- What the show did: its position per frame and the start of every callback
struct PositionLog {
    std::vector<std::pair<int64_t, uint32_t>> at;   // (time, ms)
};

class LoggingHost : public ShowHost {
public:
    explicit LoggingHost(PositionLog& log) : log_(log) {}
    void fetchSpectrum() override { live_.fetchSpectrum(); }
    uint32_t musicPosition() override
    {
        const uint32_t p = live_.musicPosition();
        log_.at.push_back({nowNs(), p});
        return p;
    }
    uint32_t musicLength() override { return live_.musicLength(); }
    void endFrame() override { live_.endFrame(); }
    bool escapePressed() override { return live_.escapePressed(); }

private:
    LiveHost live_;
    PositionLog& log_;
};

constexpr size_t MaxCallbacks = 1 << 16;
int64_t callbackStarts[MaxCallbacks];
uint64_t handedBefore[MaxCallbacks];   // frames handed over before each callback
std::atomic<size_t> callbackCount{0};

void noteCallback()
{
    const size_t k = callbackCount.load(std::memory_order_relaxed);
    if (k < MaxCallbacks) callbackStarts[k] = nowNs(), handedBefore[k] = musicFramesHandedOver();
    callbackCount.store(k + 1, std::memory_order_release);
}

// The audio thread's scheduling as the kernel sees it: policy, nice, priority.
std::string audioThreadScheduling()
{
    std::string found = "no SDLAudio thread";
    DIR* tasks = opendir("/proc/self/task");
    while (dirent* e = tasks ? readdir(tasks) : nullptr) {
        if (e->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + e->d_name;
        std::string comm;
        std::ifstream(base + "/comm") >> comm;
        if (comm.rfind("SDLAudio", 0) != 0 && comm != "musicout") continue;
        std::string stat;
        std::getline(std::ifstream(base + "/stat"), stat);
        std::vector<std::string> f;
        size_t p = stat.rfind(')') + 2;   // fields after the name, from field 3
        for (size_t q; (q = stat.find(' ', p)) != std::string::npos; p = q + 1) f.push_back(stat.substr(p, q - p));
        f.push_back(stat.substr(p));
        // field n is f[n - 3]: priority 18, nice 19, policy 41
        const char* policies[] = {"SCHED_OTHER", "SCHED_FIFO", "SCHED_RR", "SCHED_BATCH", "?", "SCHED_IDLE"};
        const int policy = std::atoi(f[38].c_str());
        found = comm + ": policy " + (policy >= 0 && policy < 6 ? policies[policy] : "?") + ", nice " + f[16] +
                ", kernel priority " + f[15];
    }
    if (tasks) closedir(tasks);
    return found;
}

double percentile(std::vector<double> v, double q)
{
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size() - 1) + 0.5))];
}

double loadAverage()
{
    double one = 0;
    std::ifstream("/proc/loadavg") >> one;
    return one;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--make-track") == 0) return makeTrack(argv[2], std::atof(argv[3]));
    if (argc != 2) {
        std::fprintf(stderr, "usage: audio_sync SINK | audio_sync --make-track FILE.wav SECONDS\n");
        return 2;
    }
    const double loadBefore = loadAverage();
    initVideo(ShowWidth, ShowHeight, true);
    startShow();
    Recorder recorder(argv[1]);
    // Until the monitor delivers (the sink renders silence while nothing plays), and a little more.
    for (int i = 0; i < 100 && recorder.started() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    PositionLog log;
    log.at.reserve(4'000'000);
    setAudioCallbackHook(noteCallback);
    const int64_t started = nowNs();
    initMusic(TrackFileName);
    std::string scheduling;
    double aheadMs = 0;
    {
        LoggingHost host(log);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        scheduling = audioThreadScheduling();
        aheadMs = sinkRenderAheadMs(argv[1]);
        runFrameLoop(host);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(600));   // the last of it through the server
    const uint64_t underruns = musicUnderrunFrames();
    closeMusic();
    closeVideo();
    recorder.stop();
    const double loadAfter = loadAverage();
    const Recording& rec = recorder.recording;

    // Heard time of recorded frame r: the monitor delivers at the sink's pace, so each arrival bounds
    // the moment its last frame was rendered from above; the lowest bound fixes the line, and the sink
    // plays what it rendered aheadMs later. Only arrivals from a second into the music count: before
    // the show's stream joined, the sink may have rendered further ahead for the recorder alone.
    double clockNs = 1e300;
    for (const auto& [t, frames] : rec.arrivals)
        if (t > started + 1'000'000'000) clockNs = std::min(clockNs, double(t) - double(frames) * 1e9 / Rate);
    clockNs += aheadMs * 1e6;
    auto heardNs = [&](double frame) { return clockNs + frame * 1e9 / Rate; };

    // Holes: digital silence of a millisecond or more between the first and last sound.
    const size_t frames = rec.samples.size() / 2;
    auto silent = [&](size_t f) { return rec.samples[2 * f] == 0 && rec.samples[2 * f + 1] == 0; };
    size_t first = 0, last = frames;
    while (first < frames && silent(first)) ++first;
    while (last > first && silent(last - 1)) --last;
    int holes = 0;
    double holeMs = 0;
    size_t firstHole = last;   // recorded frame
    for (size_t f = first; f < last;) {
        size_t end = f;
        while (end < last && silent(end)) ++end;
        if (end - f >= 44) {
            if (std::getenv("AUDIO_SYNC_DEBUG"))
                std::printf("hole %.1f ms at %.1f ms\n", double(end - f) * 1000 / Rate, (heardNs(double(f)) - double(started)) / 1e6);
            if (!holes) firstHole = f;
            ++holes;
            holeMs += double(end - f) * 1000 / Rate;
        }
        f = std::max(end, f + 1);
    }

    // Clicks: where each was in the track, and when it was heard.
    DecodedTrack track;
    if (decodeTrack(TrackFileName, track) != MusicOk) return 3;
    std::vector<float> trackMono(track.frames()), recMono(frames);
    for (size_t i = 0; i < trackMono.size(); ++i) trackMono[i] = track.samples[2 * i];
    for (size_t i = 0; i < frames; ++i) recMono[i] = rec.samples[2 * i] / 32768.0f;
    const std::vector<double> inTrack = onsets(trackMono), inRec = onsets(recMono);

    // On PulseAudio what arrives after an underrun and is already due is dropped: the sound skips
    // ahead and the picture stays behind by that much. Clicks heard before the first hole show the
    // correction alone.
    std::vector<double> offsets, offsetsBeforeHole;   // picture minus sound, ms
    std::vector<std::pair<double, double>> heardAt;    // (heard time ns, track frame)
    size_t j = 0;
    double shift = inRec.empty() || inTrack.empty() ? 0 : inRec[0] - inTrack[0];
    for (double f : inTrack) {
        while (j + 1 < inRec.size() && inRec[j + 1] <= f + shift) ++j;
        size_t best = j;
        if (j + 1 < inRec.size() && std::fabs(inRec[j + 1] - f - shift) < std::fabs(inRec[j] - f - shift)) best = j + 1;
        if (inRec.empty() || std::fabs(inRec[best] - f - shift) > 0.24 * Rate) continue;
        shift = inRec[best] - f;
        const double t = heardNs(inRec[best]);
        heardAt.push_back({t, f});
        auto after = std::lower_bound(log.at.begin(), log.at.end(), std::make_pair(int64_t(t), uint32_t(0)));
        if (after == log.at.begin() || after == log.at.end()) continue;
        const auto before = after - 1;
        const double w = (t - double(before->first)) / double(after->first - before->first);
        const double picture = before->second + w * (double(after->second) - before->second);
        offsets.push_back(picture - f * 1000 / Rate);
        if (inRec[best] < double(firstHole)) offsetsBeforeHole.push_back(offsets.back());
    }

    // Queued ahead when callback k started: what had been handed over before it, less the frame heard
    // then, which comes from the nearest click.
    std::vector<double> margins;
    const size_t callbacks = std::min(callbackCount.load(), MaxCallbacks);
    double longestGap = 0;
    for (size_t k = 1; k < callbacks; ++k) {
        longestGap = std::max(longestGap, double(callbackStarts[k] - callbackStarts[k - 1]) / 1e6);
        const double handed = double(handedBefore[k]);
        if (heardAt.empty() || handed >= double(track.frames())) continue;
        const double t = double(callbackStarts[k]);
        auto near = std::min_element(heardAt.begin(), heardAt.end(), [t](const auto& a, const auto& b) {
            return std::fabs(a.first - t) < std::fabs(b.first - t);
        });
        const double heardFrame = near->second + (t - near->first) * Rate / 1e9;
        if (std::fabs(t - near->first) < 1e9) margins.push_back((handed - heardFrame) * 1000 / Rate);
    }
    // The same for the show's own thread: a stall that holds both is the machine's, not the server's.
    double longestFrameGap = 0, frameGapAt = 0, callbackGapAt = 0;
    for (size_t i = 1; i < log.at.size(); ++i) {
        const double gap = double(log.at[i].first - log.at[i - 1].first) / 1e6;
        if (gap > longestFrameGap) longestFrameGap = gap, frameGapAt = double(log.at[i - 1].first - started) / 1e6;
    }
    for (size_t k = 1; k < callbacks; ++k)
        if (double(callbackStarts[k] - callbackStarts[k - 1]) / 1e6 == longestGap) callbackGapAt = double(callbackStarts[k - 1] - started) / 1e6;
    const double startMs = first < frames ? (heardNs(double(first)) - double(started)) / 1e6 : NAN;

    std::printf("scheduling: %s; the sink renders %.1f ms ahead\n", scheduling.c_str(), aheadMs);
    if (std::getenv("AUDIO_SYNC_DEBUG")) {
        for (size_t k = 0; k < std::min<size_t>(callbacks, 12); ++k) std::printf("cb %zu at %.1f ms\n", k, (callbackStarts[k] - started) / 1e6);
        for (size_t k = 0; k < std::min<size_t>(heardAt.size(), 5); ++k) std::printf("click frame %.0f heard %.1f ms\n", heardAt[k].second, (heardAt[k].first - started) / 1e6);
        std::printf("longest frame gap %.1f ms from %.1f ms; longest callback gap from %.1f ms\n", longestFrameGap, frameGapAt, callbackGapAt);
        std::printf("first sound heard at %.1f ms; arrivals %zu, first at %.1f ms with %llu frames\n", startMs, rec.arrivals.size(), (rec.arrivals[0].first - started)/1e6, (unsigned long long)rec.arrivals[0].second);
    }
    std::printf("holes %d holes_ms %.1f underrun_frames %llu clicks %zu/%zu offset_median_ms %+.1f offset_p5_ms %+.1f "
                "offset_p95_ms %+.1f queued_min_ms %.1f queued_median_ms %.1f longest_callback_gap_ms %.1f "
                "start_ms %.1f load %.2f %.2f before_first_hole_clicks %zu offset_median_ms %+.1f p5 %+.1f p95 %+.1f\n",
                holes, holeMs, (unsigned long long)underruns, offsets.size(), inTrack.size(), percentile(offsets, 0.5),
                percentile(offsets, 0.05), percentile(offsets, 0.95), percentile(margins, 0), percentile(margins, 0.5),
                longestGap, startMs, loadBefore, loadAfter, offsetsBeforeHole.size(), percentile(offsetsBeforeHole, 0.5),
                percentile(offsetsBeforeHole, 0.05), percentile(offsetsBeforeHole, 0.95));
    return 0;
}
