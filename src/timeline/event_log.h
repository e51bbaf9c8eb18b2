// The timeline's events as JSON lines: one object a line, written as they happen, so a capture of
// the whole show can be searched and diffed with ordinary tools.
#pragma once
#include <climits>
#include <cstdio>
#include <string>

#include "timeline/timeline_events.h"

class EventLog : public TimelineObserver {
public:
    explicit EventLog(std::FILE* out);   // the caller owns and closes the file

    // --- TimelineObserver
    void frameStarted(const FrameEvent& e) override;
    void cueFired(const CueEvent& e) override;
    void texCreated(const TexFrag& f, const Insertion& at) override;
    void bezierCreated(const BezierFrag& f, const Insertion& at) override;
    void electroCreated(const ElectroFrag& f, const Insertion& at) override;
    void gridCreated(const CircleGridFrag& f, const Insertion& at) override;

    long frame() const { return frame_; }   // frames started so far, less one: the current frame number
    void writeOnly(long firstFrame, long lastFrame);   // drops the lines of every other frame (a share of a run)

private:
    void line(const std::string& text);
    std::string fragmentHead(const char* kind, const Fragment& f, const Insertion& at) const;
    std::FILE* out_;
    long frame_ = -1;
    long first_ = LONG_MIN, last_ = LONG_MAX;
};

// --- JSON pieces
std::string jsonNumber(float value);          // shortest text that reads back as the same float
std::string jsonString(const std::string& s); // quoted and escaped
