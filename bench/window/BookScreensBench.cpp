// The bookshelf and book screens over an account of 100 shelves x 1000 books,
// in real time: the bookshelf screen opened from the menu, its ten pages
// paged through, a shelf of 1000 books opened from the first page, and its
// 100 pages paged through. A page counts as drawn once the screen's state has
// changed and a synchronous repaint of its panel (the list's rows, the page
// line, the book marks and check boxes) has returned. Opening a screen runs
// the window's fade; an opening is reported whole and without the fade, taken
// as the span from the colour panel's first paint to its last.
// Prints one table with the peak resident memory; exits 1 when a step could
// not be done (a screen not reached, a page or a mark not as expected).

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <numeric>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/TimerService.h"
#include "common/BookTypes.h"
#include "common/FixedText.h"

using namespace quillbox;

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kShelves = 100;
constexpr int kBooksPerShelf = 1000;
constexpr int kRows = 10;
constexpr int kShelfPages = kShelves / kRows;
constexpr int kBookPages = kBooksPerShelf / kRows;
constexpr int kOpenings = 5;      // each screen opened this many times
constexpr int kShelfSweeps = 10;  // the shelf pages paged through this many times
constexpr auto kMenuDeadline = std::chrono::seconds(30);

// The books' flags in turn, so that every page shows every kind of mark.
constexpr std::array<std::uint16_t, 4> kBookFlags = {
    kFlagOnAccount, kFlagOnAccount | kFlagOnComputer, kFlagOnAccount | kFlagOnReader,
    kFlagOnAccount | kFlagOnComputer | kFlagOnReader};
// The marks of a row from left to right.
constexpr std::array<std::uint16_t, 3> kMarkFlags = {kFlagOnAccount, kFlagOnComputer,
                                                     kFlagOnReader};

double millisecondsOf(Clock::duration span) {
    return std::chrono::duration<double, std::milli>(span).count();
}

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    if (!(file >> one >> five >> fifteen)) {
        return "unknown";
    }
    return one + " " + five + " " + fifteen;
}

// The peak resident size in kB (VmHWM); 0 when it cannot be read.
long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        status.ignore(1 << 16, '\n');
    }
    return 0;
}

// A file-system call on a name that does not exist, so that a trace of the
// run (strace -e trace=%file) shows where a step begins and ends.
void traceMark(const std::string& work, const char* name) {
    (void)::access((work + "strace-mark-" + name).c_str(), F_OK);
}

// Fills the empty library with new records, which the window frees with
// DeleteBookLibrary when it goes.
void fillLibrary(TBookLibrary& library) {
    if (library.ShelfCount != 0) {
        throw std::runtime_error("the window's library was not empty");
    }
    for (int s = 0; s < kShelves; ++s) {
        auto* shelf = new TBookShelf{};
        library.Shelves[s] = shelf;
        library.ShelfCount = static_cast<std::uint16_t>(s + 1);
        const std::string name = "Shelf " + std::to_string(s + 1);
        const std::string id = std::to_string(s + 1);
        setFieldText(shelf->Name, name);
        setFieldText(shelf->Id, id);
        shelf->Flags = kFlagOnAccount | kFlagOnComputer | kFlagOnReader;
        for (int b = 0; b < kBooksPerShelf; ++b) {
            auto* book = new TBook{};
            shelf->BookList[b] = book;
            shelf->BookCount = static_cast<std::uint16_t>(b + 1);
            setFieldText(book->Author, "Author " + std::to_string(b % 97 + 1));
            setFieldText(book->Title, "Book " + id + "-" + std::to_string(b + 1));
            setFieldText(book->Id, "books/" + id + "/" + std::to_string(b + 1) + ".fb2");
            setFieldText(book->BookType, ".fb2");
            book->Size = 100000;
            setFieldText(book->ShelfId, id);
            setFieldText(book->ShelfName, name);
            book->Flags = kBookFlags[static_cast<std::size_t>(b) % kBookFlags.size()];
        }
    }
}

// Counts the paint events a widget receives and notes the first and the last.
class PaintWatch : public QObject {
  public:
    explicit PaintWatch(QObject* watched) : QObject(watched) { watched->installEventFilter(this); }
    void reset() {
        count = 0;
        first.reset();
        last.reset();
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            const Clock::time_point now = Clock::now();
            if (!first) {
                first = now;
            }
            last = now;
            ++count;
        }
        return false;
    }
    int count = 0;
    std::optional<Clock::time_point> first;
    std::optional<Clock::time_point> last;
};

struct Figures {
    std::vector<double> shelfScreenWhole;
    std::vector<double> shelfScreenWork;
    std::vector<double> shelfPages;
    std::vector<double> bookScreenWhole;
    std::vector<double> bookScreenWork;
    std::vector<double> bookPages;
    std::vector<double> fades;
    long peakKb = 0;
};

QWidget* required(const app::TForm1& window, const char* name) {
    QWidget* widget = window.control(name);
    if (widget == nullptr) {
        throw std::runtime_error(std::string("the window has no ") + name);
    }
    return widget;
}

// The page line a list of count entries shows on page.
QString pageLine(const app::TForm1& window, int page, int count) {
    const int first = kRows * page + 1;
    const int last = std::min(first + kRows - 1, count);
    return QStringLiteral("%1-%2 %3 %4")
        .arg(first)
        .arg(last)
        .arg(window.languageString(1))
        .arg(count);
}

void checkPageLine(const app::TForm1& window, const char* name, int page, int count) {
    const auto* line = qobject_cast<const QLabel*>(window.control(name));
    if (line == nullptr || line->text() != pageLine(window, page, count)) {
        throw std::runtime_error(std::string(name) + " does not read " +
                                 pageLine(window, page, count).toStdString());
    }
}

void checkShelfPage(const app::TForm1& window, int page) {
    if (window.BookShelfPage != page) {
        throw std::runtime_error("the bookshelf screen is not on page " + std::to_string(page));
    }
    checkPageLine(window, "BSPPagesL", page, kShelves);
}

// The book screen on page of the shelf at index: its page line, and every
// row's marks and check box as its book's flags say.
void checkBookPage(const app::TForm1& window, int index, int page) {
    if (window.CurrentShelfIndex != index || window.CurrentShelf.BookCount != kBooksPerShelf ||
        window.BookPage != page) {
        throw std::runtime_error("the book screen is not on page " + std::to_string(page) +
                                 " of shelf " + std::to_string(index + 1));
    }
    checkPageLine(window, "BPPagesL", page, kBooksPerShelf);
    for (int row = 1; row <= kRows; ++row) {
        const std::size_t book = static_cast<std::size_t>(kRows * page + row - 1);
        const std::uint16_t flags = kBookFlags[book % kBookFlags.size()];
        for (std::size_t mark = 0; mark < kMarkFlags.size(); ++mark) {
            const QWidget* image =
                window.BookMarkImages[static_cast<std::size_t>(3 * (row - 1)) + mark];
            if (image == nullptr || image->isVisible() != ((flags & kMarkFlags[mark]) != 0)) {
                throw std::runtime_error("page " + std::to_string(page) + ", row " +
                                         std::to_string(row) + ": mark " +
                                         std::to_string(mark + 1) + " is wrong");
            }
        }
        const QWidget* box = window.BookCheckBoxes[static_cast<std::size_t>(row - 1)];
        if (box == nullptr || !box->isVisible()) {
            throw std::runtime_error("page " + std::to_string(page) + ", row " +
                                     std::to_string(row) + ": no check box");
        }
    }
}

// When a step began and when its drawing had returned.
struct Span {
    Clock::time_point start;
    Clock::time_point end;
    double milliseconds() const { return millisecondsOf(end - start); }
};

// Runs action, then repaints panel. Throws when the list's rows were not
// painted.
Span drawPage(const std::function<void()>& action, QWidget* panel, PaintWatch& rows) {
    rows.reset();
    Span span;
    span.start = Clock::now();
    action();
    panel->repaint();
    span.end = Clock::now();
    if (rows.count == 0) {
        throw std::runtime_error("a page was not drawn");
    }
    return span;
}

// Opens a screen with action (which runs the fade) and repaints panel; adds
// the whole time, the time outside the fade and the fade itself.
void openScreen(const std::function<void()>& action, QWidget* panel, PaintWatch& rows,
                PaintWatch& colour, std::vector<double>& whole, std::vector<double>& work,
                std::vector<double>& fades) {
    colour.reset();
    const Span span = drawPage(action, panel, rows);
    if (!colour.first || colour.count < 2) {
        throw std::runtime_error("the screen changed without its fade");
    }
    whole.push_back(span.milliseconds());
    fades.push_back(millisecondsOf(*colour.last - *colour.first));
    work.push_back(millisecondsOf(*colour.first - span.start) +
                   millisecondsOf(span.end - *colour.last));
}

// From the menu through both screens; throws when a step fails.
void run(app::TForm1& window, const std::string& work, Figures& figures) {
    app::TimerService& timers = app::TimerService::instance();
    QWidget* menu = required(window, "MenuPanel");
    const Clock::time_point deadline = Clock::now() + kMenuDeadline;
    timers.waitUntil(
        [&] { return (window.CurrentPanel == menu && !window.busy()) || Clock::now() > deadline; });
    if (window.CurrentPanel != menu) {
        throw std::runtime_error("the menu was not reached");
    }
    fillLibrary(*window.Library);

    QWidget* shelfPanel = required(window, "BookShelfPanel");
    QWidget* bookPanel = required(window, "BookPanel");
    auto* shelfList = qobject_cast<QListWidget*>(required(window, "BSPListBox"));
    auto* bookList = qobject_cast<QListWidget*>(required(window, "BPListBox"));
    if (shelfList == nullptr || bookList == nullptr) {
        throw std::runtime_error("the screens' lists are not lists");
    }
    auto* colour = new PaintWatch(required(window, "ColorPanel"));
    auto* shelfRows = new PaintWatch(shelfList->viewport());
    auto* bookRows = new PaintWatch(bookList->viewport());

    // (1) The bookshelf screen from the menu, as the menu's icon opens it.
    for (int opening = 0; opening < kOpenings; ++opening) {
        if (opening > 0) {
            window.SetScreenPanel(menu);
        }
        openScreen(
            [&] {
                window.redrawShelfList();
                window.SetScreenPanel(shelfPanel);
            },
            shelfPanel, *shelfRows, *colour, figures.shelfScreenWhole, figures.shelfScreenWork,
            figures.fades);
        if (window.CurrentPanel != shelfPanel || !shelfList->isVisible()) {
            throw std::runtime_error("the bookshelf screen is not shown");
        }
        checkShelfPage(window, 0);
    }

    // (2) Its ten pages, forward; back to the first page between sweeps.
    traceMark(work, "shelf-paging-start");
    for (int sweep = 0; sweep < kShelfSweeps; ++sweep) {
        for (int page = 1; page < kShelfPages; ++page) {
            figures.shelfPages.push_back(
                drawPage([&] { window.BSPRightImgClick(); }, shelfPanel, *shelfRows)
                    .milliseconds());
            checkShelfPage(window, page);
        }
        for (int page = kShelfPages - 2; page >= 0; --page) {
            window.BSPLeftImgClick();
        }
        shelfPanel->repaint();
        checkShelfPage(window, 0);
    }
    traceMark(work, "shelf-paging-end");

    // (3) A shelf of the first page opened by a press on its row; back to
    // the bookshelf screen between openings, as the book screen's menu does.
    const int rowHeight = shelfList->property("itemHeight").toInt();
    if (rowHeight <= 0) {
        throw std::runtime_error("the bookshelf list has no row height");
    }
    int shelfIndex = -1;
    for (int opening = 0; opening < kOpenings; ++opening) {
        if (opening > 0) {
            window.clearBookRowControls();
            window.SetScreenPanel(shelfPanel);
        }
        shelfIndex = opening;
        openScreen([&] { window.BSPListBoxMouseDown(rowHeight * opening + rowHeight / 2); },
                   bookPanel, *bookRows, *colour, figures.bookScreenWhole, figures.bookScreenWork,
                   figures.fades);
        if (window.CurrentPanel != bookPanel || !bookList->isVisible()) {
            throw std::runtime_error("the book screen is not shown");
        }
        checkBookPage(window, shelfIndex, 0);
    }

    // (4) The last opened shelf's 100 pages, forward.
    traceMark(work, "book-paging-start");
    for (int page = 1; page < kBookPages; ++page) {
        figures.bookPages.push_back(
            drawPage([&] { window.BPRightImgClick(); }, bookPanel, *bookRows).milliseconds());
        checkBookPage(window, shelfIndex, page);
    }
    traceMark(work, "book-paging-end");
    if (window.BookPage != kBookPages - 1) {
        throw std::runtime_error("the book screen did not reach its last page");
    }
}

void printRow(const char* what, std::vector<double> times) {
    if (times.empty()) {
        std::printf("%-44s %6s\n", what, "-");
        return;
    }
    std::sort(times.begin(), times.end());
    const double mean = std::accumulate(times.begin(), times.end(), 0.0) / double(times.size());
    std::printf("%-44s %6zu %9.2f %9.2f %9.2f\n", what, times.size(), mean, times[times.size() / 2],
                times.back());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string loadAtStart = loadAverage();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    char pattern[] = "/tmp/quillbox-book-screens-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        std::fprintf(stderr, "book_screens_bench: cannot create a work folder\n");
        return 1;
    }
    const std::string work = std::string(pattern) + "/";
    const std::string home = work + "home/";
    std::filesystem::create_directories(home);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(work + "config"));
    qputenv("QUILLBOX_HOME", QByteArray::fromStdString(home));
    QApplication application(argc, argv);

    int result = 0;
    Figures figures;
    {
        app::StartOptions options;
        options.languageFolder = QUILLBOX_LANGUAGE_DIR;
        options.dataFolder = home;
        // A system message box would wait for a click that never comes.
        options.messageBox = [&result](const QString& title, const QString& text) {
            std::fprintf(stderr, "book_screens_bench: message %s: %s\n", qPrintable(title),
                         qPrintable(text));
            result = 1;
        };
        app::TForm1 window(std::move(options));
        try {
            run(window, work, figures);
        } catch (const std::exception& error) {
            std::fprintf(stderr, "book_screens_bench: %s\n", error.what());
            result = 1;
        }
        figures.peakKb = peakResidentKb();
    }
    std::filesystem::remove_all(work);

    std::printf(
        "\n%d shelves x %d books (%d books), real time; a page is drawn when the screen's "
        "state has changed and its panel's repaint has returned (goal: each under 20 ms per "
        "page drawn)\n",
        kShelves, kBooksPerShelf, kShelves * kBooksPerShelf);
    std::printf("%-44s %6s %9s %9s %9s\n", "step (ms)", "count", "mean", "median", "max");
    printRow("bookshelf screen opened, whole", figures.shelfScreenWhole);
    printRow("bookshelf screen opened, without the fade", figures.shelfScreenWork);
    printRow("shelf page (BSPRightImgClick + draw)", figures.shelfPages);
    printRow("shelf of 1000 books opened, whole", figures.bookScreenWhole);
    printRow("shelf of 1000 books opened, without the fade", figures.bookScreenWork);
    printRow("book page (BPRightImgClick + draw)", figures.bookPages);
    printRow("the fade, first to last step", figures.fades);
    std::printf("peak resident memory (VmHWM): %.1f MB\n", double(figures.peakKb) / 1024.0);
    std::printf("load average (1, 5, 15 min): at start %s, at end %s\n", loadAtStart.c_str(),
                loadAverage().c_str());
    return result;
}
