// Scale, the place of the device picture and the screens, the layout of the
// language buttons, the screen change with its fade, and the minute clock.

#include <QBitmap>
#include <QListWidget>
#include <QRegion>
#include <cfenv>
#include <cmath>
#include <ctime>

#include "app/Controls.h"
#include "app/Form.h"
#include "platform/Clock.h"

namespace quillbox::app {
namespace {

constexpr int kDeviceWidth = 468;
constexpr int kDeviceHeight = 718;

// The screen panels, all at the same place and size, in placement order.
constexpr std::string_view kScreens[] = {"MenuPanel",     "RSSPanel",       "ColorPanel",
                                         "TomeportPanel", "BookShelfPanel", "BookPanel",
                                         "SettingPanel",  "AboutPanel",     "MoneyPanel"};

int truncated(double value) {
    return static_cast<int>(value);
}

}  // namespace

int roundEven(double value) {
    // nearbyint rounds halves to even in the default rounding mode.
    return static_cast<int>(std::nearbyint(value));
}

Geometry geometryFor(double scale, QSize screen) {
    Geometry geometry;
    geometry.PanelWidth = roundEven(351 * scale);
    geometry.PanelHeight = roundEven(465 * scale);
    geometry.ScreenOffsetX = roundEven(59 * scale);
    geometry.ScreenOffsetY = roundEven(80 * scale);
    geometry.ImageWidth = roundEven(kDeviceWidth * scale);
    geometry.ImageHeight = roundEven(kDeviceHeight * scale);
    geometry.ImageLeft = (screen.width() - geometry.ImageWidth) / 2;
    geometry.ImageTop = (screen.height() - geometry.ImageHeight) / 2;
    return geometry;
}

void TForm1::placeScreens() {
    for (std::string_view name : kScreens) {
        if (QWidget* screen = control(name)) {
            screen->setGeometry(ImageLeft + ScreenOffsetX, ImageTop + ScreenOffsetY, PanelWidth,
                                PanelHeight);
        }
    }
}

void TForm1::placePanels() {
    if (QWidget* device = control("QuillboxImage")) {
        device->setGeometry(ImageLeft, ImageTop, roundEven(kDeviceWidth * Scale),
                            roundEven(kDeviceHeight * Scale));
    }
    placeScreens();
    for (std::string_view name : kScreens) {
        if (PanelControl* screen = panel(name); screen != nullptr && name != "ColorPanel") {
            screen->setColour(Qt::white);
        }
    }
    if (auto* list = qobject_cast<QListWidget*>(control("RSSListBox"))) {
        list->setGeometry(roundEven(10 * Scale), roundEven(32 * Scale), roundEven(330 * Scale),
                          roundEven(331 * Scale));
    }
    for (std::string_view name : {"RSSListBox", "BSPListBox", "BPListBox"}) {
        if (auto* list = qobject_cast<QListWidget*>(control(name))) {
            list->setProperty("itemHeight", truncated(33 * Scale));
        }
    }
    if (QWidget* header = control("RSSHeaderL")) {
        header->move(truncated(88 * Scale), header->y());
    }
    updateInputMask();
}

void TForm1::updateInputMask() {
    // Only the device picture takes the mouse; the navy surround lets clicks
    // through to the desktop.
    ImageControl* device = image("QuillboxImage");
    if (device == nullptr || device->picture().isNull()) {
        return;
    }
    // The skin's navy colour key marks what is not the device.
    const QPixmap picture = device->picture().scaled(device->size());
    m_deviceRegion = QRegion(picture.createMaskFromColor(QColor(0, 0, 128), Qt::MaskInColor));
    setMask(m_deviceRegion.translated(device->pos()));
}

void TForm1::SetImages() {
    // Place a control at (left, top) computed from the panel's size (W, H) and
    // its own (w, h).
    const auto place = [this](std::string_view name, auto left, auto top) {
        QWidget* widget = control(name);
        if (widget == nullptr || widget->parentWidget() == nullptr) {
            return;
        }
        const int W = widget->parentWidget()->width();
        const int H = widget->parentWidget()->height();
        const int w = widget->width();
        const int h = widget->height();
        widget->move(left(W, H, w, h, widget->x()), top(W, H, w, h, widget->y()));
    };
    const auto design = [](int, int, int, int, int value) { return value; };
    const auto centred = [](int W, int, int w, int, int) { return W / 2 - w / 2; };
    const auto upperRow = [](int, int H, int, int h, int) { return H - 2 * h - 3; };
    const auto lowerRow = [](int, int H, int, int h, int) { return H - h - 4; };
    const auto width = [this](std::string_view name) {
        const QWidget* widget = control(name);
        return widget != nullptr ? widget->width() : 0;
    };
    const auto height = [this](std::string_view name) {
        const QWidget* widget = control(name);
        return widget != nullptr ? widget->height() : 0;
    };
    const int menuWidth = width("MenuPanel");

    for (std::string_view name : {"APLeftImg", "BPLeftImg", "BSPLeftImg", "RSSLeftImg",
                                  "SPUpdateRSSLeftImg", "SPUpdateBSLeftImg", "SPLangLeftImg"}) {
        place(
            name, [](int, int, int, int, int) { return 10; }, design);
    }
    for (std::string_view name : {"APRightImg", "BPRightImg", "BSPRightImg", "RSSRightImg",
                                  "SPUpdateRSSRightImg", "SPUpdateBSRightImg", "SPLangRightImg"}) {
        place(
            name, [](int W, int, int, int, int) { return W - 40; }, design);
    }
    place("APMenuImg", centred, design);
    place("APSelectImg", centred, design);
    place("TomeportImage", centred, [](int, int H, int, int h, int) { return H / 2 - h / 2; });
    place("BPMenuImg", centred, upperRow);
    const int exitHeight = height("MPExitImg");
    place("BPSelectImg", centred,
          [exitHeight](int, int H, int, int, int) { return H - 2 * exitHeight - 3; });
    const int bookMenuWidth = width("BPMenuImg");
    place(
        "BPDownloadImg",
        [bookMenuWidth](int W, int, int w, int, int) { return W / 2 - bookMenuWidth / 2 - w + 2; },
        upperRow);
    place(
        "BPSaveDeviceImg",
        [bookMenuWidth](int W, int, int, int, int) { return W / 2 + bookMenuWidth / 2 - 2; },
        upperRow);
    place(
        "BPDeletePCImg", [](int W, int, int w, int, int) { return W / 2 - w + 2; }, lowerRow);
    place(
        "BPDeleteDeviceImg", [](int W, int, int, int, int) { return W / 2; }, lowerRow);
    place(
        "BSPMenuImg", [](int W, int, int w, int, int) { return W / 2 - w; }, design);
    place(
        "BSPSelectImg", [](int W, int, int w, int, int) { return W / 2 - w; }, design);
    place(
        "BSPUpdateImg", [](int W, int, int, int, int) { return W / 2; }, design);
    place(
        "Image60", [](int, int, int, int, int) { return 10; },
        [](int, int H, int, int h, int) { return H / 2 - h / 2; });
    place(
        "MnPMenuImg", [menuWidth](int, int, int w, int, int) { return menuWidth / 2 - w / 2; },
        design);
    place(
        "MnPSelectImg", [menuWidth](int, int, int w, int, int) { return menuWidth / 2 - w / 2; },
        design);
    place(
        "SPCancelImg", [](int W, int, int w, int, int) { return (3 * W) / 4 - w / 2; }, design);
    place(
        "SPSaveImg", [menuWidth](int, int, int w, int, int) { return menuWidth / 4 - w / 2; },
        design);
    place(
        "SPSelectImg", [menuWidth](int, int, int w, int, int) { return menuWidth / 4 + w / 2; },
        design);
    place(
        "RSSAddImg", [](int W, int, int w, int, int) { return W / 2 - (3 * w) / 2 + 2; }, upperRow);
    place(
        "RSSDeleteImg", [](int W, int, int w, int, int) { return W / 2 + w / 2 - 1; }, upperRow);
    place("RSSMenuImg", centred, upperRow);
    place("RSSSelectImg", centred, upperRow);
    place(
        "RSSSaveImg", [](int W, int, int w, int, int) { return W / 2 - w + 2; }, lowerRow);
    place(
        "RSSUpdateImg", [](int W, int, int, int, int) { return W / 2; }, lowerRow);
}

void TForm1::SetScreenPanel(QWidget* panelToShow) {
    PanelControl* colour = panel("ColorPanel");
    ColorLevel = 255;
    if (colour != nullptr) {
        colour->setColour(QColor(ColorLevel, ColorLevel, ColorLevel));
        colour->show();
        colour->raise();
    }
    QWidget* books = control("BookPanel");
    if (CurrentPanel != nullptr) {
        CurrentPanel->hide();
    }
    // The book screen's ticks belong to the shelf shown: they go whenever
    // the screen is left or reached, by any way.
    if (books != nullptr && (CurrentPanel == books || panelToShow == books)) {
        clearBookRowControls();
    }
    TimerService& timers = TimerService::instance();
    FadeIn = false;
    ColorTimer.setEnabled(true);
    timers.waitUntil([this] { return !ColorTimer.enabled(); });
    FadeIn = true;
    ColorTimer.setEnabled(true);
    timers.waitUntil([this] { return !ColorTimer.enabled(); });
    CurrentPanel = panelToShow;
    if (CurrentPanel != nullptr && CurrentPanel == books) {
        redrawBookList();
    }
    if (CurrentPanel != nullptr) {
        CurrentPanel->show();
        CurrentPanel->raise();
    }
    if (colour != nullptr && colour != CurrentPanel) {
        colour->hide();
    }
}

void TForm1::ColorTimerTimer() {
    ColorLevel += FadeIn ? 10 : -10;
    if (ColorLevel < 10) {
        ColorLevel = 0;
        ColorTimer.setEnabled(false);
    } else if (ColorLevel > 245) {
        ColorLevel = 255;
        ColorTimer.setEnabled(false);
    }
    if (PanelControl* colour = panel("ColorPanel")) {
        colour->setColour(QColor(ColorLevel, ColorLevel, ColorLevel));
        colour->repaint();
    }
}

void TForm1::TimeTimerTimer() {
    const std::int64_t now = platform::clockSeconds();
    std::tm fields{};
    if (!platform::localCalendar(now, fields)) {
        return;
    }
    Clock.Year = static_cast<std::uint16_t>(fields.tm_year + 1900);
    Clock.Month = static_cast<std::uint16_t>(fields.tm_mon + 1);
    Clock.Day = static_cast<std::uint16_t>(fields.tm_mday);
    Clock.Hour = static_cast<std::uint16_t>(fields.tm_hour);
    Clock.Minute = static_cast<std::uint16_t>(fields.tm_min);
    Clock.Second = static_cast<std::uint16_t>(fields.tm_sec);
    TimeTimer.setInterval((60 - Clock.Second) * 1000);
}

}  // namespace quillbox::app
