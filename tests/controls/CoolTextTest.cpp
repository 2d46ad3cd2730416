// The justified label as a widget on the offscreen platform: its properties,
// repaints, plain drawing when not justified, and a render with a real font
// saved to <build>/gui-screenshots/cooltext.png.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QVariant>
#include <algorithm>
#include <functional>

#include "controls/CoolText.h"

namespace quillbox::test {
namespace {

using controls::TCoolText;

// The first help text of the program, as the help screen shows it.
constexpr const char* kHelpText =
    "Quillbox collects the news of the feeds you follow and turns it into a book for the "
    "reader. Open the news screen, click the empty line below the list, type or paste the "
    "address of a feed and press Enter: the feed is added as soon as its first news has "
    "been fetched. To remove a feed, select it and click the delete button.";

// Counts the paint events of the widget it watches.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
        }
        return QObject::eventFilter(watched, event);
    }
};

void deliverPostedEvents() {
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
}

// The help screen's label: Arial 12 px, 337 px wide, indent 20, justified.
void designAsHelpLabel(QLabel& label, int height) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    label.setFont(font);
    label.resize(337, height);
    label.setText(QString::fromLatin1(kHelpText));
}

TEST(CoolText, StartsAsAPlainLabelWithIndent30) {
    const TCoolText label;
    EXPECT_EQ(label.coolAlignment(), TCoolText::taLeftJustify);
    EXPECT_EQ(label.paragraphWidth(), 30);
    EXPECT_EQ(label.property("CoolAlignment").toInt(), TCoolText::taLeftJustify);
    EXPECT_EQ(label.property("ParagraphWidth").toInt(), 30);
    EXPECT_EQ(TCoolText::taCool, 3);
}

TEST(CoolText, RepaintsOnlyWhenAPropertyChanges) {
    struct Step {
        const char* what;
        std::function<void(TCoolText&)> set;
        bool repaints;
    };
    const Step steps[] = {
        {"same alignment", [](TCoolText& l) { l.setCoolAlignment(TCoolText::taCool); }, false},
        {"same indent", [](TCoolText& l) { l.setParagraphWidth(20); }, false},
        {"same indent by name", [](TCoolText& l) { l.setProperty("ParagraphWidth", 20); }, false},
        {"new alignment", [](TCoolText& l) { l.setCoolAlignment(TCoolText::taCenter); }, true},
        {"new indent", [](TCoolText& l) { l.setParagraphWidth(0); }, true},
    };
    TCoolText label;
    designAsHelpLabel(label, 156);
    label.setCoolAlignment(TCoolText::taCool);
    label.setParagraphWidth(20);
    PaintCounter counter;
    label.installEventFilter(&counter);
    label.show();
    deliverPostedEvents();
    ASSERT_GT(counter.paints, 0);
    for (const Step& step : steps) {
        counter.paints = 0;
        step.set(label);
        deliverPostedEvents();
        EXPECT_EQ(counter.paints > 0, step.repaints) << step.what;
    }
}

// Any alignment but taCool draws exactly what a plain label draws, aligned by
// the label's own alignment; taCool draws something else.
TEST(CoolText, DrawsLikeAPlainLabelUnlessJustified) {
    QLabel plain;
    designAsHelpLabel(plain, 40);
    plain.setAlignment(Qt::AlignRight | Qt::AlignTop);
    const QImage expected = plain.grab().toImage();

    TCoolText label;
    designAsHelpLabel(label, 40);
    label.setAlignment(Qt::AlignRight | Qt::AlignTop);
    for (const auto alignment :
         {TCoolText::taLeftJustify, TCoolText::taRightJustify, TCoolText::taCenter}) {
        label.setCoolAlignment(alignment);
        EXPECT_EQ(label.grab().toImage(), expected) << int(alignment);
    }
    label.setCoolAlignment(TCoolText::taCool);
    EXPECT_NE(label.grab().toImage(), expected);
}

struct InkSpan {
    int first = -1;
    int last = -1;
};

// The leftmost and rightmost columns with dark pixels in rows [top, bottom).
InkSpan inkSpan(const QImage& image, int top, int bottom) {
    InkSpan span;
    for (int y = top; y < bottom && y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qGray(image.pixel(x, y)) < 128) {
                span.first = span.first < 0 ? x : std::min(span.first, x);
                span.last = std::max(span.last, x);
            }
        }
    }
    return span;
}

// With a real font every full line reaches the right edge, the first starting
// after the indent and the others at the left edge.
TEST(CoolText, RendersTheHelpTextJustified) {
    TCoolText label;
    designAsHelpLabel(label, 156);
    label.setCoolAlignment(TCoolText::taCool);
    label.setParagraphWidth(20);
    const QImage image = label.grab().toImage();
    const QString folder = QStringLiteral(QUILLBOX_BINARY_DIR "/gui-screenshots");
    QDir().mkpath(folder);
    ASSERT_TRUE(image.save(folder + QStringLiteral("/cooltext.png")));

    const int lineHeight = QFontMetrics(label.font()).height();
    int lines = 0;
    while (inkSpan(image, lines * lineHeight, (lines + 1) * lineHeight).first >= 0) {
        ++lines;
    }
    ASSERT_GE(lines, 3);
    // Glyphs stand up to 2 px inside their advance.
    for (int line = 0; line + 1 < lines; ++line) {
        const InkSpan span = inkSpan(image, line * lineHeight, (line + 1) * lineHeight);
        const int start = line == 0 ? 20 : 0;
        EXPECT_GE(span.first, start) << line;
        EXPECT_LE(span.first, start + 2) << line;
        EXPECT_GE(span.last, 337 - 3) << line;
    }
}

}  // namespace
}  // namespace quillbox::test
