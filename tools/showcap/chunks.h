// A capture cut into consecutive frame ranges that render apart (on other cores or machines) and join
// without a seam, and the label each segment carries to say which range of which cut it holds.
// Pure: no files, no GL.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Frames first..last of the show, both written; last < first: none.
struct FrameRange {
    long first = 0;
    long last = -1;
    long count() const { return last >= first ? last - first + 1 : 0; }
};

// The index-th of count consecutive ranges; count 0: the capture is not cut.
struct ChunkSpec {
    int index = 0;   // 1..count
    int count = 0;   // 0..MaxChunks
};
constexpr int MaxChunks = 9999;

// What a segment holds: written into each chunk's output, read back by the join.
struct SegmentLabel {
    ChunkSpec chunk;
    FrameRange frames;
    int fps = 0;
};

// --- Ranges
FrameRange chunkRange(FrameRange whole, ChunkSpec chunk);  // sizes differ by at most one frame, in order
bool musicReaches(long frame, int fps, uint32_t trackLengthMs);  // the music alone keeps the show going
                                                                 // to this frame (so it is drawn)

// --- Labels
bool parseChunkSpec(const std::string& text, ChunkSpec& out);  // "K/N", 1 <= K <= N <= MaxChunks
std::string segmentLabel(const SegmentLabel& label);           // "showcap chunk 2/3 frames 100-199 fps 60"
bool parseSegmentLabel(const std::string& text, SegmentLabel& out);
// Sorts the labels by chunk and checks they are one whole cut: every chunk once, the same cut and frame
// rate, each range starting where the one before ended. whole: the frames of them all.
bool checkSegments(std::vector<SegmentLabel>& labels, FrameRange& whole, std::string& error);
