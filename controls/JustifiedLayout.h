// The layout of justified paragraphs, apart from any painting: which piece of
// the text goes on which line and where it starts.

#pragma once

#include <QStringView>
#include <functional>
#include <vector>

class QFontMetrics;

namespace quillbox::controls {

// Returns the width in pixels of a piece of text as it will be drawn.
using TextWidth = std::function<int(QStringView)>;

// Returns a TextWidth that measures with metrics, which must outlive it.
TextWidth widthIn(const QFontMetrics& metrics);

// One piece of text to draw: the characters [start, start + length) of the
// laid-out text, on line `line` (0 is the first), its left edge at x.
struct JustifiedPiece {
    int line = 0;
    int x = 0;
    qsizetype start = 0;
    qsizetype length = 0;

    bool operator==(const JustifiedPiece&) const = default;
};

// Lays text out in lines from left to left + width, the first line indented by
// indent. Words are the runs between single spaces (two spaces make an empty
// word); a space at the very end belongs to the last word. Every full line is
// stretched so its first word starts at the line's start and its last word
// ends at left + width; the last line is one unstretched piece. A word that
// has a line to itself, alone or because it is wider than the line, starts at
// the line's start. Returns the non-empty pieces in drawing order; never fails
// and always ends, whatever the width or indent.
std::vector<JustifiedPiece> layoutJustified(QStringView text, const TextWidth& measure, int left,
                                            int width, int indent);

// Returns value rounded to the nearest integer, halves to the even neighbour.
int roundHalfEven(double value);

}  // namespace quillbox::controls
