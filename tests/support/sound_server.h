// A private PulseAudio server with one null sink, for playing through a real sound server without a
// sound card, and a recorder of that sink's monitor: what the server really played, holes included.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

class PulseServer {
public:
    static std::string missing();   // empty when pulseaudio and parec are installed, else what lacks
    PulseServer();                  // waits until clients can connect; throws if it can't start
    ~PulseServer();

    // Environment that sends a client (SDL's pulseaudio driver, parec) to this server.
    void applyTo(ProcessOptions& options) const;
    void applyToThisProcess() const;
    const std::string& sinkName() const { return sink_; }
    int pid() const;                // the server's process, for a test that makes it go away
    void stop();                    // the server goes away (clients see it lost)
    void start();                   // and comes back on the same socket; waits until clients can connect

private:
    TempDir home_;
    std::string socket_;
    std::string sink_ = "showsink";
    std::unique_ptr<Process> server_;
};

// Records the sink's monitor as 44.1 kHz 16-bit stereo from construction until stop().
class MonitorRecording {
public:
    MonitorRecording(const PulseServer& server, const std::string& rawFile);
    std::vector<int16_t> stop();       // interleaved samples recorded

private:
    std::string file_;
    std::unique_ptr<Process> recorder_;
};

struct Hole {
    size_t startFrame;
    size_t frames;
};
// Runs of at least minFrames frames of digital silence (every channel 0) strictly between the first
// and the last non-silent frame: what an underrun leaves in music that never falls silent itself.
std::vector<Hole> silentHoles(const std::vector<int16_t>& interleaved, int channels, size_t minFrames);
