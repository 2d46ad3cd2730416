#include "controls/JustifiedLayout.h"

#include <QFontMetrics>
#include <QString>
#include <cmath>

namespace quillbox::controls {
namespace {

struct Word {
    qsizetype start;
    qsizetype length;
    int width;
};

// Returns the width of a space followed by text[start, end). Past the text's
// start the character before start is always the space that ended the word
// before, so the text itself is measured; only at the very start is a copy
// with a space in front made.
int spacedWidth(QStringView text, qsizetype start, qsizetype end, const TextWidth& measure) {
    if (start > 0) {
        return measure(text.sliced(start - 1, end - start + 1));
    }
    QString spaced(1, QLatin1Char(' '));
    spaced += text.sliced(start, end - start);
    return measure(spaced);
}

}  // namespace

TextWidth widthIn(const QFontMetrics& metrics) {
    // QFontMetrics measures QStrings only; the pieces are read in place, not copied.
    return [&metrics](QStringView piece) {
        return metrics.horizontalAdvance(
            QString::fromRawData(piece.data(), static_cast<int>(piece.size())));
    };
}

int roundHalfEven(double value) {
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) {
        whole += 1.0;
    }
    return static_cast<int>(whole);
}

std::vector<JustifiedPiece> layoutJustified(QStringView text, const TextWidth& measure, int left,
                                            int width, int indent) {
    std::vector<JustifiedPiece> pieces;
    std::vector<Word> words;
    const qsizetype size = text.size();
    qsizetype placed = 0;
    int line = 0;

    // The search leaves the text's last character out, so that a space at the
    // very end stays with the last word.
    const auto nextSpace = [&]() -> qsizetype {
        const qsizetype space = text.indexOf(QLatin1Char(' '), placed);
        return space >= 0 && space < size - 1 ? space : -1;
    };
    const auto place = [&](int x, qsizetype start, qsizetype length) {
        if (length > 0) {
            pieces.push_back({line, x, start, length});
        }
    };

    for (;; ++line, indent = 0) {
        words.clear();
        // The line's text runs from lineStart to the space before `placed` once it
        // holds a non-empty word; empty words in front of that add no characters.
        qsizetype lineStart = -1;
        int wordsWidth = 0;
        const int room = width - indent;
        const int x = left + indent;

        qsizetype space = nextSpace();
        for (; space >= 0; space = nextSpace()) {
            // The candidate is measured with a space in front even on an empty line.
            const int candidate = lineStart >= 0
                                      ? measure(text.sliced(lineStart, space - lineStart))
                                      : spacedWidth(text, placed, space, measure);
            if (candidate >= room) {
                break;
            }
            const int wordWidth = measure(text.sliced(placed, space - placed));
            words.push_back({placed, space - placed, wordWidth});
            wordsWidth += wordWidth;
            if (lineStart < 0 && space > placed) {
                lineStart = placed;
            }
            placed = space + 1;
        }

        if (space < 0) {
            // Only the last word is left: it ends the paragraph on this line if it fits.
            const int lineWidth =
                lineStart >= 0 ? measure(text.sliced(lineStart, placed - 1 - lineStart)) : 0;
            if (spacedWidth(text, placed, size, measure) + lineWidth < room) {
                const qsizetype start = lineStart >= 0 ? lineStart : placed;
                place(x, start, size - start);
                return pieces;
            }
            if (words.empty()) {
                // Wider than the line: it could never fit, so it goes here alone.
                place(x, placed, size - placed);
                return pieces;
            }
        } else if (words.empty()) {
            // Wider than the line: it takes a line of its own so the layout moves on.
            place(x, placed, space - placed);
            placed = space + 1;
            continue;
        }

        if (words.size() == 1) {
            // No gap to spread the spare room over.
            place(x, words.front().start, words.front().length);
            continue;
        }

        // Each position is computed afresh from k so rounding errors do not add up.
        const int gaps = static_cast<int>(words.size()) - 1;
        const double gapWidth = static_cast<double>(width - wordsWidth - indent) / gaps;
        int wordX = x;
        int widthsSoFar = 0;
        for (int k = 1; k <= gaps; ++k) {
            const Word& word = words[k - 1];
            place(wordX, word.start, word.length);
            widthsSoFar += word.width;
            wordX = roundHalfEven(k * gapWidth + left + widthsSoFar + indent);
        }
        const Word& last = words.back();
        place(left + width - last.width, last.start, last.length);
    }
}

}  // namespace quillbox::controls
