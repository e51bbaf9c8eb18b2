// UTF-8 read strictly and written back: text from a track's tags or a file name may hold any bytes,
// and what the posters, the event log and the typesetter see must be well-formed code points.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr uint32_t ReplacementCharacter = 0xFFFD;

// --- Reading
// The code point that starts at byte i, with i moved past it; false for a byte that starts no valid
// sequence (a stray continuation, an overlong form, a surrogate, past U+10FFFF, cut short), with i
// moved past that one byte.
bool nextCodePoint(const std::string& text, size_t& i, uint32_t& codePoint);
std::vector<uint32_t> decodeUtf8(const std::string& text);   // the valid code points; invalid bytes left out

// --- Writing
void appendUtf8(std::string& out, uint32_t codePoint);        // codePoint at most U+10FFFF, not a surrogate
std::string encodeUtf8(const std::vector<uint32_t>& codePoints, size_t first = 0, size_t last = size_t(-1));
