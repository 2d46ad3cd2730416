// The justified layout with exact widths: every character is 10 px wide and a
// space 5 px, so a word of n letters is n * 10 px wide.

#include <gtest/gtest.h>

#include <QString>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "controls/JustifiedLayout.h"

namespace quillbox::test {
namespace {

using controls::JustifiedPiece;
using controls::layoutJustified;
using controls::roundHalfEven;

// (line, x, text) of one drawn piece.
using Placed = std::tuple<int, int, std::string>;

int fixedWidth(QStringView text) {
    int width = 0;
    for (const QChar character : text) {
        width += character == QLatin1Char(' ') ? 5 : 10;
    }
    return width;
}

std::vector<Placed> layout(const char* text, int left, int width, int indent) {
    const QString source = QString::fromLatin1(text);
    std::vector<Placed> placed;
    for (const JustifiedPiece& piece : layoutJustified(source, fixedWidth, left, width, indent)) {
        placed.emplace_back(piece.line, piece.x,
                            source.sliced(piece.start, piece.length).toStdString());
    }
    return placed;
}

struct LayoutCase {
    const char* name;
    const char* text;
    int left;
    int width;
    int indent;
    std::vector<Placed> expected;
};

// Worked by hand from the line filling (a candidate is the line so far, a
// space and the next word; it fits while narrower than width - indent) and the
// gap positions round(k * gap + left + widths of words 1..k + indent).
const LayoutCase kLayoutCases[] = {
    // Gap 97 / 3: 92.33 -> 92, 174.67 -> 175, the last word ends at 337.
    {"FourWordsSpreadOverTheIndentedLine",
     "aaaa bbbbb cccccc ddddddd eeeeeeee",
     0,
     337,
     20,
     {{0, 20, "aaaa"},
      {0, 92, "bbbbb"},
      {0, 175, "cccccc"},
      {0, 267, "ddddddd"},
      {1, 0, "eeeeeeee"}}},
    {"OneLineIsOnePieceAfterTheIndent", "ab cd ef", 0, 337, 20, {{0, 20, "ab cd ef"}}},
    {"TrailingSpaceStaysWithTheLastWord", "ab cd ", 4, 337, 20, {{0, 24, "ab cd "}}},
    {"EmptyTextDrawsNothing", "", 0, 337, 20, {}},
    // The second line starts at left, unstretched.
    {"TwoLinesFirstFlushRight",
     "aaa bbb ccc ddd ee",
     5,
     100,
     10,
     {{0, 15, "aaa"}, {0, 75, "bbb"}, {1, 5, "ccc ddd ee"}}},
    // Gap 37 / 4: 49.25 -> 49, 108.5 -> 108 (half to even), 177.75 -> 178.
    {"NoIndentStartsAtLeft",
     "aaaa bbbbb cccccc ddddddd eeeeeeee ffffffffff",
     0,
     337,
     0,
     {{0, 0, "aaaa"},
      {0, 49, "bbbbb"},
      {0, 108, "cccccc"},
      {0, 178, "ddddddd"},
      {0, 257, "eeeeeeee"},
      {1, 0, "ffffffffff"}}},
    // The empty word between the two spaces takes a gap of 13.33 of its own.
    {"DoubleBlankMakesADoubleGap",
     "aa  bb cc dddddd",
     0,
     100,
     0,
     {{0, 0, "aa"}, {0, 47, "bb"}, {0, 80, "cc"}, {1, 0, "dddddd"}}},
    {"WordAloneOnItsLineStaysAtTheLineStart",
     "aaaaaaa bbbbbbb c",
     3,
     100,
     10,
     {{0, 13, "aaaaaaa"}, {1, 3, "bbbbbbb c"}}},
    {"OverWideWordInsideGetsALineOfItsOwn",
     "ab cccccccccc de",
     0,
     50,
     0,
     {{0, 0, "ab"}, {1, 0, "cccccccccc"}, {2, 0, "de"}}},
    {"OverWideLastWordEndsTheLayout",
     "ab cccccccccc",
     0,
     50,
     0,
     {{0, 0, "ab"}, {1, 0, "cccccccccc"}}},
    {"OverWideFirstWordUnderTheIndent",
     "cccccccccc ab",
     0,
     100,
     20,
     {{0, 20, "cccccccccc"}, {1, 0, "ab"}}},
    {"NoWidthPutsEachWordOnALine", "a b c", 0, 0, 0, {{0, 0, "a"}, {1, 0, "b"}, {2, 0, "c"}}},
    {"IndentWiderThanTheLabel", "a b", 0, 30, 40, {{0, 40, "a"}, {1, 0, "b"}}},
};

void PrintTo(const LayoutCase& c, std::ostream* out) {
    *out << c.name;
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, PlacesEveryPiece) {
    const LayoutCase& c = GetParam();
    EXPECT_EQ(layout(c.text, c.left, c.width, c.indent), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Justified, LayoutTest, ::testing::ValuesIn(kLayoutCases),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(JustifiedLayout, RoundsHalvesToEven) {
    const std::pair<double, int> cases[] = {{0.5, 0},     {1.5, 2},       {2.5, 2},
                                            {108.5, 108}, {-0.5, 0},      {-1.5, -2},
                                            {92.333, 92}, {174.667, 175}, {7.0, 7}};
    for (const auto& [value, rounded] : cases) {
        EXPECT_EQ(roundHalfEven(value), rounded) << value;
    }
}

}  // namespace
}  // namespace quillbox::test
