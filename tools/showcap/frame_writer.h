// Frames handed from the drawing thread to a writer thread, so that one frame is hashed and encoded
// while the next is drawn. A small pool of frame buffers bounds the memory and makes the drawing wait
// when the writer falls behind; frames are written one at a time, in the order they were submitted.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "frame_sink.h"

class FrameWriter {
public:
    using Write = std::function<bool(const Frame&)>;  // false: writing failed; later frames are dropped

    FrameWriter(Write write, size_t buffers = 3);  // starts the writer thread
    ~FrameWriter();                                // finish()
    FrameWriter(const FrameWriter&) = delete;
    FrameWriter& operator=(const FrameWriter&) = delete;

    // --- Drawing thread
    Frame& acquire();          // a buffer to fill; waits while every buffer is queued or being written
    void submit(Frame& frame); // queues the buffer from acquire()
    bool failed() const;       // a write has failed (no need to draw further frames)
    bool finish();             // writes what is queued, stops the thread; false if any write failed

private:
    void run();

    Write write_;
    std::vector<Frame> frames_;
    std::deque<Frame*> free_, queued_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool closing_ = false;
    bool failed_ = false;
    std::thread thread_;
};
