// PulseServer. The server gets its own runtime directory and home, so it neither meets a user's
// server nor needs a session; as root it must be told it may run (-n skips the default script,
// which would look for sound cards).
#include "support/sound_server.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "support/tone_track.h"

std::string PulseServer::missing()
{
    for (const char* tool : {"pulseaudio", "parec", "pactl"}) {
        if (!commandExists(tool)) return std::string(tool) + " is not installed (./setup.sh --test installs it)";
    }
    return "";
}

PulseServer::PulseServer()
{
    chmod(home_.path().c_str(), 0700);   // the server refuses a runtime directory others may enter
    socket_ = home_.file("native");
    writeFile(home_.file("server.pa"), "load-module module-native-protocol-unix auth-anonymous=1 socket=" + socket_ +
                                           "\nload-module module-null-sink sink_name=" + sink_ +
                                           "\nset-default-sink " + sink_ + "\n");
    start();
}

void PulseServer::start()
{
    ProcessOptions options;
    options.env["HOME"] = home_.path();
    options.env["XDG_RUNTIME_DIR"] = home_.path();
    options.timeoutSeconds = 3600;
    server_ = std::make_unique<Process>(
        std::vector<std::string>{"pulseaudio", "-n", "-F", home_.file("server.pa"), "--daemonize=no",
                                 "--exit-idle-time=-1", "--disallow-exit", "--system=no", "--log-target=stderr"},
        options);
    ProcessOptions probe;
    applyTo(probe);
    probe.timeoutSeconds = 5;
    const double deadline = monotonicSeconds() + 20;
    while (runProcess({"pactl", "info"}, probe).exitCode != 0) {
        if (!server_->running() || monotonicSeconds() > deadline) throw std::runtime_error("pulseaudio did not start");
        usleep(100 * 1000);
    }
}

PulseServer::~PulseServer() { stop(); }

void PulseServer::stop()
{
    if (!server_) return;
    kill(server_->pid(), SIGTERM);
    server_->wait();
    server_.reset();
}

int PulseServer::pid() const { return server_->pid(); }

void PulseServer::applyTo(ProcessOptions& options) const
{
    options.env["PULSE_SERVER"] = "unix:" + socket_;
    options.env["PULSE_RUNTIME_PATH"] = home_.path();
    options.env["HOME"] = home_.path();   // keeps the client from autospawning or reading a user's cookie
}

void PulseServer::applyToThisProcess() const
{
    ProcessOptions options;
    applyTo(options);
    for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
}

MonitorRecording::MonitorRecording(const PulseServer& server, const std::string& rawFile) : file_(rawFile)
{
    ProcessOptions options;
    server.applyTo(options);
    options.timeoutSeconds = 600;
    recorder_ = std::make_unique<Process>(
        std::vector<std::string>{"sh", "-c",
                                 "exec parec -d " + server.sinkName() +
                                     ".monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 > '" +
                                     rawFile + "'"},
        options);
    // The stream is connected once parec has asked for it; give it the moment it needs.
    usleep(300 * 1000);
}

std::vector<int16_t> MonitorRecording::stop()
{
    kill(recorder_->pid(), SIGINT);
    recorder_->wait();
    return readRawSamples(file_);
}

std::vector<Hole> silentHoles(const std::vector<int16_t>& interleaved, int channels, size_t minFrames)
{
    const size_t frames = interleaved.size() / size_t(channels);
    auto silent = [&](size_t f) {
        for (int c = 0; c < channels; ++c)
            if (interleaved[f * size_t(channels) + size_t(c)] != 0) return false;
        return true;
    };
    size_t first = 0, last = frames;
    while (first < frames && silent(first)) ++first;
    while (last > first && silent(last - 1)) --last;
    std::vector<Hole> holes;
    for (size_t f = first; f < last;) {
        if (!silent(f)) {
            ++f;
            continue;
        }
        size_t end = f;
        while (end < last && silent(end)) ++end;
        if (end - f >= minFrames) holes.push_back({f, end - f});
        f = end;
    }
    return holes;
}
