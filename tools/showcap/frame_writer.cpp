// FrameWriter. One mutex guards both lists; the writer holds it only to take and give back a buffer,
// never while writing, so drawing and writing overlap fully.
#include "frame_writer.h"

FrameWriter::FrameWriter(Write write, size_t buffers) : write_(std::move(write)), frames_(buffers ? buffers : 1)
{
    for (Frame& f : frames_) free_.push_back(&f);
    thread_ = std::thread([this] { run(); });
}

FrameWriter::~FrameWriter() { finish(); }

Frame& FrameWriter::acquire()
{
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !free_.empty(); });
    Frame* frame = free_.front();
    free_.pop_front();
    return *frame;
}

void FrameWriter::submit(Frame& frame)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queued_.push_back(&frame);
    }
    changed_.notify_all();
}

bool FrameWriter::failed() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

bool FrameWriter::finish()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closing_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
    return !failed();
}

void FrameWriter::run()
{
    for (;;) {
        Frame* frame = nullptr;
        bool skip = false;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queued_.empty() || closing_; });
            if (queued_.empty()) return;  // closing, and everything is written
            frame = queued_.front();
            queued_.pop_front();
            skip = failed_;
        }
        const bool ok = skip || write_(*frame);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failed_ = failed_ || !ok;
            free_.push_back(frame);
        }
        changed_.notify_all();
    }
}
