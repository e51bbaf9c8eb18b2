// Running programs from tests: the real show, Xvfb, xdotool, lame, ffmpeg. Output is captured, the
// environment extended per run, and a stuck child is killed after a timeout.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

struct ProcessResult {
    int exitCode = -1;       // 0..255 when the child exited, -1 otherwise
    int signal = 0;          // the signal that ended it, 0 if it exited
    bool timedOut = false;   // killed by the timeout
    std::string out;         // standard output
    std::string err;         // standard error
};

struct ProcessOptions {
    std::map<std::string, std::string> env;  // added to (or replacing in) the test's environment
    std::vector<std::string> unsetEnv;        // removed from it
    std::string workDir;                      // empty: the test's working directory
    double timeoutSeconds = 60;
};

// A child process running in the background; its output is collected when it is waited for.
class Process {
public:
    Process(const std::vector<std::string>& argv, const ProcessOptions& options = {});
    ~Process();                          // kills the child if it still runs
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool running();                      // not yet exited
    ProcessResult wait();                // until it exits or the timeout (from start) passes
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    double deadline_ = 0;
    bool reaped_ = false;
    int status_ = 0;
    std::string out_, err_;
    void drain(double untilSeconds);
};

// --- One-shot helpers
ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});
ProcessResult runInChild(const std::function<void()>& body, double timeoutSeconds = 60);  // fork; stdout captured
bool commandExists(const std::string& name);
double monotonicSeconds();
