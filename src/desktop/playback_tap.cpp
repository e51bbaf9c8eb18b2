// PlaybackTap. Both the (count, time) slots and the history follow one pattern: the callback announces
// how far it is about to write (relaxed store, then a release fence), writes with relaxed atomics, then
// publishes; a reader copies, issues an acquire fence and checks the announcement, so any copy that
// might contain newer writes is detected. Unlike a sequence lock, a callback preempted mid-write never
// makes the reader spin: the slot it reads is a finished one.
#include "desktop/playback_tap.h"

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

void PlaybackTap::publish(int64_t timeNs, uint32_t latencyFrames)
{
    const uint64_t k = published_.load(std::memory_order_relaxed) + 1;
    writing_.store(k, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    Slot& slot = slots_[k % SlotCount];
    slot.frames.store(pending_, std::memory_order_relaxed);
    slot.timeNs.store(timeNs, std::memory_order_relaxed);
    slot.latencyFrames.store(latencyFrames, std::memory_order_relaxed);
    frames_.store(pending_, std::memory_order_release);
    published_.store(k, std::memory_order_release);
}

TapReading PlaybackTap::latest() const
{
    for (;;) {
        const uint64_t k = published_.load(std::memory_order_acquire);
        if (k == 0) return TapReading{};
        const Slot& slot = slots_[k % SlotCount];
        TapReading r;
        r.frames = slot.frames.load(std::memory_order_relaxed);
        r.timeNs = slot.timeNs.load(std::memory_order_relaxed);
        r.latencyFrames = slot.latencyFrames.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        // Slot k is rewritten by hand-over k + SlotCount; until that one starts, what was read is k's.
        if (writing_.load(std::memory_order_relaxed) < k + SlotCount) return r;
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
