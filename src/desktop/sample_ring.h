// A single-producer/single-consumer ring of float samples: the decoder thread writes, the audio
// callback reads, and neither ever waits for the other or allocates after construction.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

class SampleRing {
public:
    explicit SampleRing(size_t capacity);   // samples; rounded up to a power of two, at least 2
    SampleRing(const SampleRing&) = delete;
    SampleRing& operator=(const SampleRing&) = delete;

    // --- Producer side (one thread)
    size_t writable() const;                          // samples that fit now, 0..capacity()
    size_t write(const float* samples, size_t count); // copies min(count, writable()); returns that

    // --- Consumer side (one thread)
    size_t readable() const;                          // samples waiting, 0..capacity()
    size_t read(float* out, size_t count);            // moves min(count, readable()) out; returns that

    // --- Either side
    size_t capacity() const { return mask_ + 1; }     // samples

private:
    std::vector<float> buffer_;
    size_t mask_;
    // Running totals, never wrapped by hand: unsigned 64-bit counters outlast any track. Each lives on
    // its own cache line so the two threads don't bounce one line between cores.
    alignas(64) std::atomic<uint64_t> written_{0};
    alignas(64) std::atomic<uint64_t> taken_{0};
};
