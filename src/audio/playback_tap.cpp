// PlaybackTap: a sequence lock over the (count, time) pair, written only by the callback, so the
// writer never waits and a reader retries only if it overlapped the few stores of one publish.
// History entries are relaxed atomics so concurrent reads are defined; the callback announces how far
// it is about to write before writing, and a reader checks that mark after copying, so a lapped range
// is always detected.
#include "audio/playback_tap.h"

static_assert((PlaybackTap::HistoryFrames & (PlaybackTap::HistoryFrames - 1)) == 0, "ring index by mask");

PlaybackTap::PlaybackTap() : history_(new std::atomic<float>[HistoryFrames])
{
    for (size_t i = 0; i < HistoryFrames; ++i) history_[i].store(0.0f, std::memory_order_relaxed);
}

void PlaybackTap::reserve(size_t frames)
{
    // Announced before the samples land, so a reader that sees any of them also sees this mark.
    reserved_.store(pending_ + frames, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
}

void PlaybackTap::append(const float* interleaved, size_t frames, int channels)
{
    reserve(frames);
    for (size_t i = 0; i < frames; ++i) {
        history_[(pending_ + i) & (HistoryFrames - 1)].store(interleaved[i * size_t(channels)], std::memory_order_relaxed);
    }
    pending_ += frames;
}

void PlaybackTap::appendSilence(size_t frames)
{
    reserve(frames);
    for (size_t i = 0; i < frames; ++i) history_[(pending_ + i) & (HistoryFrames - 1)].store(0.0f, std::memory_order_relaxed);
    pending_ += frames;
}

void PlaybackTap::publish(int64_t timeNs)
{
    const uint32_t s = sequence_.load(std::memory_order_relaxed);
    sequence_.store(s + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    frames_.store(pending_, std::memory_order_relaxed);
    timeNs_.store(timeNs, std::memory_order_relaxed);
    sequence_.store(s + 2, std::memory_order_release);
}

TapReading PlaybackTap::latest() const
{
    TapReading r;
    for (;;) {
        const uint32_t before = sequence_.load(std::memory_order_acquire);
        r.frames = frames_.load(std::memory_order_relaxed);
        r.timeNs = timeNs_.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if ((before & 1) == 0 && sequence_.load(std::memory_order_relaxed) == before) return r;
    }
}

bool PlaybackTap::copyChannel0(uint64_t first, size_t count, float* out) const
{
    if (count > HistoryFrames) return false;
    // Acquire pairs with publish's release: every sample below this count is in the history.
    const uint64_t published = frames_.load(std::memory_order_acquire);
    if (first + count > published) return false;
    for (size_t i = 0; i < count; ++i) out[i] = history_[(first + i) & (HistoryFrames - 1)].load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    // Frame first + HistoryFrames reuses the slot of frame first: no write may have reached it.
    return reserved_.load(std::memory_order_relaxed) <= first + HistoryFrames;
}
