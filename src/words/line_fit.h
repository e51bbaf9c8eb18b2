// Where a run of text goes on a poster: how large, on one line or two, and where it is cut. Pure
// decisions over the glyph advances the typesetter measured, so every case is testable without fonts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The box a run must fit (pixels) and the sizes it may take (pixels per em).
struct FitBox {
    float width = 0;            // the widest a line may be
    float size = 100;           // the size of a run that fits as it is
    float twoLineSize = 50;     // the largest size of two lines (they need the height of one at size)
    float minSize = 20;         // no line is set smaller: below it a run takes two lines, then an ellipsis
    int maxLines = 2;           // 1 or 2
};

struct LineSpan {
    size_t first = 0, last = 0;   // code points [first, last) of the run
};

struct FittedLines {
    float size = 0;                 // pixels per em
    std::vector<LineSpan> lines;    // 1 or 2, top first; none for an empty run
    bool ellipsis = false;          // the last line is cut and ends in an ellipsis
};

// --- Fitting
// text: the run's code points; advances: each one's advance at 1 pixel per em (the same count);
// ellipsisAdvance: the ellipsis's, also at 1 pixel per em. One line as large as fits, up to
// box.size; where that would be under box.minSize, two lines broken at the space (or after the
// hyphen, slash or ideograph) that balances them best, up to box.twoLineSize; where even that
// would be under minSize, lines at minSize filled to their last break that fits, and the last line
// (or the first with no break that fits: a word is never split across lines) cut where it and the
// ellipsis fit: after its last whole word that fits, or after its last character that does where
// that word would leave the line less than half full.
FittedLines fitLines(const std::vector<uint32_t>& text, const std::vector<float>& advances, float ellipsisAdvance,
                     const FitBox& box);
