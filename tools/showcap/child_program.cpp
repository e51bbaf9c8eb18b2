// ChildProgram: fork and exec with a pipe on standard input. SIGPIPE is ignored by showcap, so a child
// that dies shows up as a failed write rather than ending us.
#include "child_program.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sstream>

ChildProgram::ChildProgram(const std::vector<std::string>& args, const std::string& logPath,
                           const std::string& outPath)
    : logPath_(logPath)
{
    int fds[2];
    if (args.empty() || pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[0], 0);
        close(fds[0]);
        close(fds[1]);
        const int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int out = outPath.empty() ? log : open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) dup2(log, 2);
        if (out >= 0) dup2(out, 1);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    close(fds[0]);
    if (pid_ < 0) {
        close(fds[1]);
        return;
    }
    stdin_ = fds[1];
}

ChildProgram::~ChildProgram()
{
    if (stdin_ >= 0) close(stdin_);
    if (pid_ > 0 && !reaped_) waitpid(pid_, nullptr, 0);
}

bool ChildProgram::write(const void* bytes, size_t size)
{
    const char* p = static_cast<const char*>(bytes);
    while (size > 0 && stdin_ >= 0) {
        const ssize_t n = ::write(stdin_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= size_t(n);
    }
    return stdin_ >= 0;
}

bool ChildProgram::finish()
{
    if (pid_ <= 0 || reaped_) return false;
    if (stdin_ >= 0) close(stdin_);
    stdin_ = -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    reaped_ = true;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return false;
    std::remove(logPath_.c_str());
    return true;
}

std::string ChildProgram::log() const
{
    std::ifstream f(logPath_);
    std::stringstream s;
    s << f.rdbuf();
    std::string text = s.str();
    while (!text.empty() && text.back() == '\n') text.pop_back();
    return text.empty() ? "(no message; see " + logPath_ + ")" : text;
}
