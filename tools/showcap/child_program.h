// A program run as a child of showcap: ffmpeg encoding frames or joining segments, ffprobe reading a
// segment's label. Its standard input is a pipe from us; what it prints goes to a log file that is
// read back only when it fails, so a long run never fills a pipe nobody reads.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

class ChildProgram {
public:
    // Starts args[0] from the PATH. Its standard output goes to outPath, or with its errors to the log.
    ChildProgram(const std::vector<std::string>& args, const std::string& logPath, const std::string& outPath = "");
    ~ChildProgram();   // closes its input and waits for it
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // --- Running
    bool started() const { return stdin_ >= 0; }
    bool write(const void* bytes, size_t size);  // all of it, to its standard input; false once it stopped reading
    bool finish();                               // closes its input, waits; true when it exited with 0 (log removed)

    // --- Its messages
    std::string log() const;   // the log's text, or where to look when it is empty

private:
    pid_t pid_ = -1;
    int stdin_ = -1;
    bool reaped_ = false;
    std::string logPath_;
};
