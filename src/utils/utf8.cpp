// The decoder follows Unicode's well-formed byte sequences table (Unicode 15, table 3-7): each lead
// byte narrows the range its first continuation byte may take, which rules out overlong forms and
// surrogates without decoding them first.
#include "utils/utf8.h"

namespace {
bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }
}  // namespace

bool nextCodePoint(const std::string& text, size_t& i, uint32_t& codePoint)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        codePoint = lead;
        ++i;
        return true;
    }
    int extra = 0;
    unsigned char low = 0x80, high = 0xBF;   // the first continuation byte's range
    uint32_t cp = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0Fu;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07u;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        ++i;
        return false;
    }
    if (i + size_t(extra) >= text.size()) {   // cut short by the end of the text
        ++i;
        return false;
    }
    const unsigned char first = byte(i + 1);
    if (first < low || first > high) {
        ++i;
        return false;
    }
    for (int k = 1; k <= extra; ++k) {
        const unsigned char c = byte(i + size_t(k));
        if (!continuation(c)) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (c & 0x3Fu);
    }
    codePoint = cp;
    i += size_t(extra) + 1;
    return true;
}

std::vector<uint32_t> decodeUtf8(const std::string& text)
{
    std::vector<uint32_t> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        uint32_t cp;
        if (nextCodePoint(text, i, cp)) out.push_back(cp);
    }
    return out;
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

std::string encodeUtf8(const std::vector<uint32_t>& codePoints, size_t first, size_t last)
{
    std::string out;
    for (size_t k = first; k < codePoints.size() && k < last; ++k) appendUtf8(out, codePoints[k]);
    return out;
}
