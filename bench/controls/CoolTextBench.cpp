// Laying out justified text with a real font (Arial 12 px as the help screen
// uses it) at 200, 337 (the help labels) and 600 px: each page of the help
// screen (two texts), and a text of 20,000 words. The goal is a help page in
// under 1 ms. The last benchmark paints a help label, layout included, into an
// image. Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QString>
#include <QStringList>
#include <array>

#include "controls/CoolText.h"
#include "controls/JustifiedLayout.h"

using namespace quillbox::controls;

namespace {

// The English help texts, two to a page of the help screen.
constexpr std::array<std::array<const char*, 2>, 2> kHelpPages{{
    {"Quillbox collects the news of the feeds you follow and turns it into a book for the "
     "reader. Open the news screen, click the empty line below the list, type or paste the "
     "address of a feed and press Enter: the feed is added as soon as its first news has "
     "been fetched. To remove a feed, select it and click the delete button.",
     "When the reader is connected, the convert button gathers all news not yet delivered "
     "into one FB2 book and copies it to the \"News\" folder of the reader. News that has "
     "reached the reader does not come again. Quillbox can update the feeds by itself at the "
     "interval chosen on the settings screen; the main menu shows when they were last "
     "updated."},
    {"The bookshelf shows the books of your Tomeport account, shelf by shelf. Enter your "
     "Tomeport login and password on the settings screen and update the bookshelf: Quillbox "
     "then lists your shelves and the number of books on each. Choose a shelf to see its "
     "books. The marks beside a book tell whether it is in your account, saved on this "
     "computer or on the reader.",
     "Tick the books you want and use the buttons below the list: download them to this "
     "computer, save them to the reader (from the computer when a copy is there, otherwise "
     "straight from the store), or delete the copies on the computer or on the reader. Your "
     "balance and the last payments of your account are on the balance screen."},
}};

constexpr int kLongTextWords = 20000;
constexpr int kIndent = 20;

QFont helpFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    return font;
}

// The help texts' words over and over, kLongTextWords of them.
QString longText() {
    QStringList words;
    for (const auto& page : kHelpPages) {
        for (const char* text : page) {
            words += QString::fromLatin1(text).split(QLatin1Char(' '));
        }
    }
    QStringList text;
    for (int i = 0; i < kLongTextWords; ++i) {
        text += words[i % words.size()];
    }
    return text.join(QLatin1Char(' '));
}

void BM_HelpPage(benchmark::State& state) {
    const auto& page = kHelpPages[static_cast<std::size_t>(state.range(0))];
    const int width = static_cast<int>(state.range(1));
    const QString first = QString::fromLatin1(page[0]);
    const QString second = QString::fromLatin1(page[1]);
    const QFontMetrics metrics(helpFont());
    const TextWidth measure = widthIn(metrics);
    std::size_t pieces = 0;
    for (auto _ : state) {
        pieces = layoutJustified(first, measure, 0, width, kIndent).size() +
                 layoutJustified(second, measure, 0, width, kIndent).size();
        benchmark::DoNotOptimize(pieces);
    }
    state.counters["pieces"] = static_cast<double>(pieces);
}
BENCHMARK(BM_HelpPage)
    ->ArgNames({"page", "width"})
    ->ArgsProduct({{0, 1}, {200, 337, 600}})
    ->Unit(benchmark::kMicrosecond);

void BM_LongText(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const QString text = longText();
    const QFontMetrics metrics(helpFont());
    const TextWidth measure = widthIn(metrics);
    int lines = 0;
    for (auto _ : state) {
        const std::vector<JustifiedPiece> pieces =
            layoutJustified(text, measure, 0, width, kIndent);
        lines = pieces.empty() ? 0 : pieces.back().line + 1;
        benchmark::DoNotOptimize(lines);
    }
    state.counters["lines"] = lines;
    state.counters["words/s"] =
        benchmark::Counter(kLongTextWords, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LongText)
    ->ArgName("width")
    ->Arg(200)
    ->Arg(337)
    ->Arg(600)
    ->Unit(benchmark::kMillisecond);

// One help label as the help screen has it, painted into an image.
void BM_HelpLabelPaint(benchmark::State& state) {
    TCoolText label;
    label.setFont(helpFont());
    label.resize(337, 156);
    label.setCoolAlignment(TCoolText::taCool);
    label.setParagraphWidth(kIndent);
    label.setText(QString::fromLatin1(kHelpPages[0][0]));
    QImage image(label.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::transparent);
        label.render(&image);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_HelpLabelPaint)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
