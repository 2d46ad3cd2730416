// The hover frame: the window's handling of one mouse move, over the menu's
// icons (the frame comes) and over the screen beside them (the frames go),
// 1,000 moves in turn, each timed; the slowest is what the user could feel.

#include <QApplication>
#include <QMouseEvent>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/Form.h"
#include "app/TimerService.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kMoves = 1000;
constexpr const char* kIcons[] = {"MPRSSImg",      "MPBookShelfImg", "MPBalanceImg",
                                  "MPUpdateImg",   "MPSettingImg",   "MPAboutImg",
                                  "MPTomeportImg", "MPMinimizeImg",  "MPExitImg"};

double microseconds(Clock::duration span) {
    return std::chrono::duration<double, std::micro>(span).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    char folder[] = "/tmp/quillbox-hover-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return 1;
    }
    const std::string work = std::string(folder) + "/";
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(work + "config"));
    QApplication application(argc, argv);
    quillbox::app::TimerService::instance().useVirtualTime(true);
    int result = 0;
    {
        quillbox::app::StartOptions options;
        options.languageFolder = QUILLBOX_LANGUAGE_DIR;
        options.dataFolder = work + "data/";
        quillbox::app::TForm1 window(std::move(options));
        // The splash (a fade inside the first tick), then the menu two ticks later.
        quillbox::app::TimerService::instance().advance(std::chrono::milliseconds(100));
        quillbox::app::TimerService::instance().advance(std::chrono::milliseconds(2100));
        QWidget* menu = window.control("MenuPanel");
        if (window.CurrentPanel != menu) {
            std::fprintf(stderr, "hover_bench: the menu was not reached\n");
            result = 1;
        } else {
            std::vector<double> overIcon;
            std::vector<double> beside;
            double firstShow = 0;
            // One round over every icon first: the frame's first showing
            // polishes it once, which is reported on its own.
            for (int move = -18; move < kMoves; ++move) {
                // Odd moves over an icon, even ones over the screen's title area.
                const bool onIcon = (move + 18) % 2 == 1;
                QWidget* target = onIcon ? window.control(kIcons[((move + 18) / 2) % 9]) : menu;
                const QPointF at = onIcon ? QPointF(40, 40) : QPointF(5, 5);
                QMouseEvent event(QEvent::MouseMove, at, target->mapToGlobal(at), Qt::NoButton,
                                  Qt::NoButton, Qt::NoModifier);
                const Clock::time_point start = Clock::now();
                QCoreApplication::sendEvent(target, &event);
                const double took = microseconds(Clock::now() - start);
                if (move == -17) {
                    firstShow = took;
                } else if (move >= 0) {
                    (onIcon ? overIcon : beside).push_back(took);
                }
            }
            const auto report = [](const char* what, std::vector<double> times) {
                std::sort(times.begin(), times.end());
                std::printf("%-18s %4zu moves  median %6.2f us  99%% %6.2f us  slowest %6.2f us\n",
                            what, times.size(), times[times.size() / 2],
                            times[times.size() * 99 / 100], times.back());
            };
            std::printf("hover handling of %d mouse moves (goal: none over 100 us)\n", kMoves);
            std::printf("the frame's first showing: %.2f us (once per run)\n", firstShow);
            report("over an icon", overIcon);
            report("beside the icons", beside);
        }
    }
    std::filesystem::remove_all(work);
    return result;
}
