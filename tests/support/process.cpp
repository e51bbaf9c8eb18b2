// Process helpers over fork/exec with pipes. Output is drained while waiting, so a chatty child
// never blocks on a full pipe.
#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

double monotonicSeconds()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

namespace {
void applyOptions(const ProcessOptions& options)
{
    // A test run from a background job inherits ignored SIGINT; the child starts as from a terminal.
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    for (const auto& name : options.unsetEnv) unsetenv(name.c_str());
    for (const auto& [name, value] : options.env) setenv(name.c_str(), value.c_str(), 1);
    if (!options.workDir.empty() && chdir(options.workDir.c_str()) != 0) {
        std::perror("chdir");
        _exit(127);
    }
}

ProcessResult resultFrom(int status, bool timedOut, std::string out, std::string err)
{
    ProcessResult r;
    r.timedOut = timedOut;
    if (WIFEXITED(status)) r.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) r.signal = WTERMSIG(status);
    r.out = std::move(out);
    r.err = std::move(err);
    return r;
}
}  // namespace

Process::Process(const std::vector<std::string>& argv, const ProcessOptions& options)
{
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    std::fflush(stdout);
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        setpgid(0, 0);  // its own group, so a timeout kills its children too
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        applyOptions(options);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        std::fprintf(stderr, "exec %s failed\n", args[0]);
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    deadline_ = monotonicSeconds() + options.timeoutSeconds;
}

Process::~Process()
{
    if (!reaped_ && pid_ > 0) {
        kill(-pid_, SIGKILL);
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
    }
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

void Process::drain(double untilSeconds)
{
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    const double wait = untilSeconds - monotonicSeconds();
    const int ms = wait <= 0 ? 0 : int(wait * 1000);
    if (poll(fds, 2, ms) <= 0) return;
    char buffer[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
        const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
        if (n > 0) (i == 0 ? out_ : err_).append(buffer, size_t(n));
    }
}

bool Process::running()
{
    if (reaped_) return false;
    drain(0);
    const pid_t r = waitpid(pid_, &status_, WNOHANG);
    if (r == pid_) reaped_ = true;
    return !reaped_;
}

ProcessResult Process::wait()
{
    bool timedOut = false;
    while (!reaped_) {
        if (monotonicSeconds() > deadline_) {
            kill(-pid_, SIGKILL);
            kill(pid_, SIGKILL);
            timedOut = true;
            waitpid(pid_, &status_, 0);
            reaped_ = true;
            break;
        }
        drain(monotonicSeconds() + 0.05);
        if (waitpid(pid_, &status_, WNOHANG) == pid_) reaped_ = true;
    }
    // Whatever is left in the pipes after the exit.
    for (int fd : {outFd_, errFd_}) {
        fcntl(fd, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) (fd == outFd_ ? out_ : err_).append(buffer, size_t(n));
    }
    return resultFrom(status_, timedOut, out_, err_);
}

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options)
{
    Process process(argv, options);
    return process.wait();
}

ProcessResult runInChild(const std::function<void()>& body, double timeoutSeconds)
{
    int outPipe[2];
    if (pipe(outPipe) != 0) throw std::runtime_error("pipe failed");
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(outPipe[1], 1);
        close(outPipe[0]);
        close(outPipe[1]);
        body();
        std::fflush(stdout);
        _exit(0);
    }
    close(outPipe[1]);
    std::string out;
    const double deadline = monotonicSeconds() + timeoutSeconds;
    bool timedOut = false;
    for (;;) {
        pollfd fd = {outPipe[0], POLLIN, 0};
        const double left = deadline - monotonicSeconds();
        if (left <= 0) {
            kill(pid, SIGKILL);
            timedOut = true;
            break;
        }
        if (poll(&fd, 1, int(left * 1000) + 1) <= 0) continue;
        char buffer[4096];
        const ssize_t n = read(outPipe[0], buffer, sizeof buffer);
        if (n <= 0) break;
        out.append(buffer, size_t(n));
    }
    close(outPipe[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return resultFrom(status, timedOut, out, "");
}

bool commandExists(const std::string& name)
{
    return runProcess({"sh", "-c", "command -v " + name}).exitCode == 0;
}
