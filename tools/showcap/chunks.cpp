// Chunk ranges and segment labels. The cut is plain integer arithmetic on the whole range, so every
// machine that is given the same range and chunk count cuts it at the same frames.
#include "chunks.h"

#include <algorithm>
#include <cstdio>

#include "utils/format.h"

namespace {
// Digits only, no sign or spaces, below a billion: what a frame number or chunk count is written as.
bool parseCount(const std::string& text, long& out)
{
    if (text.empty() || text.size() > 9) return false;
    out = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}
}  // namespace

FrameRange chunkRange(FrameRange whole, ChunkSpec chunk)
{
    const long n = whole.count(), k = chunk.index - 1;
    return {whole.first + n * k / chunk.count, whole.first + n * (k + 1) / chunk.count - 1};
}

bool musicReaches(long frame, int fps, uint32_t trackLengthMs)
{
    // The loop goes on after a frame while the next frame's position is below the length (ScriptedHost:
    // frame x 1000 / fps, whole ms), so a frame is drawn when its own position is.
    return frame <= 0 || uint64_t(frame) * 1000u / uint64_t(fps) < trackLengthMs;
}

bool parseChunkSpec(const std::string& text, ChunkSpec& out)
{
    const size_t slash = text.find('/');
    long k = 0, n = 0;
    if (slash == std::string::npos || !parseCount(text.substr(0, slash), k) || !parseCount(text.substr(slash + 1), n))
        return false;
    if (k < 1 || k > n || n > MaxChunks) return false;
    out = {int(k), int(n)};
    return true;
}

std::string segmentLabel(const SegmentLabel& l)
{
    return formatString("showcap chunk %d/%d frames %ld-%ld fps %d", l.chunk.index, l.chunk.count, l.frames.first,
                        l.frames.last, l.fps);
}

bool parseSegmentLabel(const std::string& text, SegmentLabel& out)
{
    int k = 0, n = 0, fps = 0, used = 0;
    long first = 0, last = 0;
    if (std::sscanf(text.c_str(), "showcap chunk %d/%d frames %ld-%ld fps %d%n", &k, &n, &first, &last, &fps, &used) != 5)
        return false;
    // Only a line break may follow (ffprobe and text files end the label with one).
    for (size_t i = size_t(used); i < text.size(); ++i)
        if (text[i] != '\n' && text[i] != '\r') return false;
    if (k < 1 || k > n || n > MaxChunks || fps < 1 || first < 0 || last < first) return false;
    out = {{k, n}, {first, last}, fps};
    return true;
}

bool checkSegments(std::vector<SegmentLabel>& labels, FrameRange& whole, std::string& error)
{
    if (labels.empty()) {
        error = "no segments to join";
        return false;
    }
    std::sort(labels.begin(), labels.end(),
              [](const SegmentLabel& a, const SegmentLabel& b) { return a.chunk.index < b.chunk.index; });
    const int count = labels.front().chunk.count;
    for (size_t i = 0; i < labels.size(); ++i) {
        const SegmentLabel& l = labels[i];
        if (l.chunk.count != count || l.fps != labels.front().fps) {
            error = "segments of different captures: " + segmentLabel(labels.front()) + ", " + segmentLabel(l);
            return false;
        }
        if (i > 0 && l.chunk.index == labels[i - 1].chunk.index) {
            error = formatString("chunk %d/%d is there twice", l.chunk.index, count);
            return false;
        }
        if (l.chunk.index != int(i) + 1) {
            error = formatString("chunk %d/%d is missing", int(i) + 1, count);
            return false;
        }
        if (i > 0 && l.frames.first != labels[i - 1].frames.last + 1) {
            error = formatString("chunk %d/%d starts at frame %ld, not right after chunk %d/%d (frame %ld)", l.chunk.index,
                                 count, l.frames.first, l.chunk.index - 1, count, labels[i - 1].frames.last);
            return false;
        }
    }
    if (int(labels.size()) != count) {
        error = formatString("chunk %d/%d is missing", int(labels.size()) + 1, count);
        return false;
    }
    whole = {labels.front().frames.first, labels.back().frames.last};
    return true;
}
