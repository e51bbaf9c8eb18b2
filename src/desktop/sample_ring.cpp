// SampleRing. Each side owns one counter: it reads the other's with acquire (so the samples behind it
// are visible) and publishes its own with release after touching the buffer.
#include "desktop/sample_ring.h"

#include <algorithm>
#include <cstring>

namespace {
size_t roundUpToPowerOfTwo(size_t n)
{
    size_t p = 2;
    while (p < n) p <<= 1;
    return p;
}
}  // namespace

SampleRing::SampleRing(size_t capacity) : buffer_(roundUpToPowerOfTwo(capacity)), mask_(buffer_.size() - 1) {}

size_t SampleRing::writable() const
{
    const uint64_t used = written_.load(std::memory_order_relaxed) - taken_.load(std::memory_order_acquire);
    return capacity() - size_t(used);
}

size_t SampleRing::write(const float* samples, size_t count)
{
    const uint64_t at = written_.load(std::memory_order_relaxed);
    const uint64_t used = at - taken_.load(std::memory_order_acquire);
    count = std::min(count, capacity() - size_t(used));
    const size_t start = size_t(at) & mask_;
    const size_t first = std::min(count, capacity() - start);
    std::memcpy(&buffer_[start], samples, first * sizeof(float));
    std::memcpy(&buffer_[0], samples + first, (count - first) * sizeof(float));
    written_.store(at + count, std::memory_order_release);
    return count;
}

size_t SampleRing::readable() const
{
    return size_t(written_.load(std::memory_order_acquire) - taken_.load(std::memory_order_relaxed));
}

size_t SampleRing::read(float* out, size_t count)
{
    const uint64_t at = taken_.load(std::memory_order_relaxed);
    count = std::min(count, size_t(written_.load(std::memory_order_acquire) - at));
    const size_t start = size_t(at) & mask_;
    const size_t first = std::min(count, capacity() - start);
    std::memcpy(out, &buffer_[start], first * sizeof(float));
    std::memcpy(out + first, &buffer_[0], (count - first) * sizeof(float));
    taken_.store(at + count, std::memory_order_release);
    return count;
}
