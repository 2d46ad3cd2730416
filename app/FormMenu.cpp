// The main menu and the way between the screens: the hover frame every screen
// uses for its picture buttons, the menu's nine items, the help screen's two
// pages, the settings screen's opening and the balance screen's lines.

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>
#include <utility>

#include "app/Controls.h"
#include "app/Form.h"
#include "app/QtHost.h"
#include "contracts/Book.h"
#include "contracts/Hostkit.h"
#include "platform/StoreAddress.h"

namespace quillbox::app {
namespace {

// Each screen's highlight frame and the picture buttons it lies over.
struct HoverGroup {
    std::string_view frame;
    std::initializer_list<std::string_view> buttons;
    bool takesButtonSize = false;  // the frame also takes the hovered button's size
};

const HoverGroup kHoverGroups[] = {
    {"MPSelectImg",
     {"MPRSSImg", "MPBookShelfImg", "MPBalanceImg", "MPUpdateImg", "MPSettingImg", "MPAboutImg",
      "MPTomeportImg", "MPMinimizeImg", "MPExitImg"}},
    {"RSSSelectImg",
     {"RSSAddImg", "RSSMenuImg", "RSSDeleteImg", "RSSSaveImg", "RSSUpdateImg"},
     true},
    {"BSPSelectImg", {"BSPMenuImg", "BSPUpdateImg"}},
    {"BPSelectImg",
     {"BPMenuImg", "BPDownloadImg", "BPSaveDeviceImg", "BPDeletePCImg", "BPDeleteDeviceImg"},
     true},
    {"SPSelectImg", {"SPSaveImg", "SPCancelImg"}},
    {"APSelectImg", {"APMenuImg"}},
    {"MnPSelectImg", {"MnPMenuImg"}},
};

// The menu's icons in the order the dispatch tests them.
constexpr std::string_view kMenuOrder[] = {"MPExitImg",     "MPRSSImg",       "MPUpdateImg",
                                           "MPTomeportImg", "MPBookShelfImg", "MPSettingImg",
                                           "MPAboutImg",    "MPMinimizeImg",  "MPBalanceImg"};

void setLabel(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    }
}

}  // namespace

void TForm1::connectControls() {
    for (const HoverGroup& group : kHoverGroups) {
        if (QWidget* frame = control(group.frame)) {
            m_hoverTargets.push_back(frame);
        }
        for (std::string_view name : group.buttons) {
            ImageControl* button = image(name);
            if (button == nullptr) {
                continue;
            }
            m_hoverTargets.push_back(button);
            const std::string frame(group.frame);
            const bool sized = group.takesButtonSize;
            button->onMouseMove = [this, frame, button, sized](QMouseEvent*) {
                hoverButton(frame, button);
                if (QWidget* highlight = control(frame); sized && highlight != nullptr) {
                    highlight->resize(button->size());
                }
            };
        }
    }
    if (ImageControl* frame = image("MPSelectImg")) {
        frame->onClick = [this] { MPSelectImgClick(); };
    }
    for (std::string_view name : {"APSelectImg", "MnPSelectImg"}) {
        if (ImageControl* frame = image(name)) {
            frame->onClick = [this] { APSelectImgClick(); };
        }
    }
    const std::pair<std::string_view, void (TForm1::*)()> kFrameClicks[] = {
        {"RSSSelectImg", &TForm1::RSSSelectImgClick},
        {"BSPSelectImg", &TForm1::BSPSelectImgClick},
        {"BPSelectImg", &TForm1::BPSelectImgClick},
        {"SPSelectImg", &TForm1::SPSelectImgClick},
    };
    for (const auto& [name, handler] : kFrameClicks) {
        if (ImageControl* frame = image(name)) {
            frame->onClick = [this, handler = handler] { (this->*handler)(); };
        }
    }
    if (ImageControl* arrow = image("APLeftImg")) {
        arrow->onClick = [this] { APLeftImgClick(); };
    }
    if (ImageControl* arrow = image("APRightImg")) {
        arrow->onClick = [this] { APRightImgClick(); };
    }
    connectNewsScreen();
    connectShelfScreen();
    connectBookScreen();
    connectSettingsScreen();
    if (ImageControl* device = image("QuillboxImage")) {
        device->onMousePress = [this](QMouseEvent* event) {
            if (event->button() == Qt::LeftButton) {
                QuillboxImageMouseDown(event->position().toPoint());
            }
        };
        device->onMouseMove = [this](QMouseEvent* event) {
            if (DragActive) {
                QuillboxImageMouseMoveWhileDown(event->position().toPoint());
            }
        };
        device->onMouseRelease = [this](QMouseEvent*) { QuillboxImageMouseUp(); };
    }
}

void TForm1::hoverButton(std::string_view frameName, QWidget* button) {
    QWidget* frame = control(frameName);
    if (frame == nullptr || button == nullptr) {
        return;
    }
    frame->move(button->pos());
    frame->show();
    frame->raise();
}

void TForm1::hideFrames() {
    for (const HoverGroup& group : kHoverGroups) {
        if (QWidget* frame = control(group.frame); frame != nullptr && frame->isVisible()) {
            frame->hide();
        }
    }
}

void TForm1::QuillboxImageMouseMove() {
    hideFrames();
}

void TForm1::MPSelectImgClick() {
    const QWidget* frame = control("MPSelectImg");
    if (frame == nullptr) {
        return;
    }
    std::string_view chosen;
    for (std::string_view name : kMenuOrder) {
        const QWidget* icon = control(name);
        if (icon != nullptr && icon->pos() == frame->pos()) {
            chosen = name;
            break;
        }
    }
    if (chosen == "MPExitImg") {
        SetScreenPanel(control("ColorPanel"));
        saveOnExit();
        close();
    } else if (chosen == "MPRSSImg") {
        RSSInfoBar();
        SetScreenPanel(control("RSSPanel"));
    } else if (chosen == "MPUpdateImg") {
        runOperation([this] {
            ShowHourglass();
            UpdateAllRSS();
            LoadUserData(&UserData);
            if (UserData.Login.Length != 0 && updateLibraryFromStore() == kBookUpdateDone) {
                SaveUpdateBookShelfDate();
            }
            ViewUpdateData();
            HideHourglass();
        });
    } else if (chosen == "MPTomeportImg") {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(platform::storeRoot())));
    } else if (chosen == "MPBookShelfImg") {
        LoadUserData(&UserData);
        if (UserData.Login.Length != 0 && UserData.Password.Length != 0) {
            redrawShelfList();
            SetScreenPanel(control("BookShelfPanel"));
        } else {
            openSettings(0);
        }
    } else if (chosen == "MPSettingImg") {
        openSettings(1);
    } else if (chosen == "MPAboutImg") {
        prepareHelpPage1();
        SetScreenPanel(control("AboutPanel"));
    } else if (chosen == "MPMinimizeImg") {
        HideClick();
    } else if (chosen == "MPBalanceImg") {
        fillBalance();
        SetScreenPanel(control("MoneyPanel"));
    }
}

void TForm1::APSelectImgClick() {
    SetScreenPanel(control("MenuPanel"));
}

namespace {

bool samePlace(const QWidget* frame, const QWidget* button) {
    return frame != nullptr && button != nullptr && frame->pos() == button->pos();
}

bool sameLeft(const QWidget* frame, const QWidget* button) {
    return frame != nullptr && button != nullptr && frame->x() == button->x();
}

}  // namespace

void TForm1::RSSSelectImgClick() {
    const QWidget* frame = control("RSSSelectImg");
    if (samePlace(frame, control("RSSAddImg"))) {
        RSSAddClick();
    } else if (samePlace(frame, control("RSSMenuImg"))) {
        ViewUpdateData();
        SetScreenPanel(control("MenuPanel"));
    } else if (samePlace(frame, control("RSSDeleteImg"))) {
        RSSDeleteClick();
    } else if (samePlace(frame, control("RSSSaveImg"))) {
        RSSSaveClick();
    } else if (samePlace(frame, control("RSSUpdateImg"))) {
        RSSUpdateClick();
    }
}

void TForm1::BSPSelectImgClick() {
    const QWidget* frame = control("BSPSelectImg");
    if (sameLeft(frame, control("BSPMenuImg"))) {
        ViewUpdateData();
        SetScreenPanel(control("MenuPanel"));
    } else if (sameLeft(frame, control("BSPUpdateImg"))) {
        updateBookShelves();
    }
}

void TForm1::BPSelectImgClick() {
    const QWidget* frame = control("BPSelectImg");
    if (samePlace(frame, control("BPDownloadImg"))) {
        Download(std::string(), 1);
    } else if (samePlace(frame, control("BPDeletePCImg"))) {
        DeleteFileFromComp();
    } else if (samePlace(frame, control("BPMenuImg"))) {
        clearBookRowControls();
        SetScreenPanel(control("BookShelfPanel"));
    } else if (samePlace(frame, control("BPSaveDeviceImg"))) {
        saveBooksToReader();
    } else if (samePlace(frame, control("BPDeleteDeviceImg"))) {
        DeleteFileFromDevice();
    }
}

void TForm1::fillBalance() {
    // The amounts and payment texts are the store's, in the system code page
    // like every other store text, whatever the interface language.
    setLabel(control("Label23"),
             languageString(9) + QStringLiteral(": ") + fromAnsi(Money->Balance));
    for (int i = 1; i <= 5; ++i) {
        QWidget* line = control("Label" + std::to_string(23 + i));
        if (Money->PaymentCount >= i) {
            const TPayment& payment = Money->Payments[i];
            setLabel(line, fromAnsi(payment.Date) + QLatin1Char(' ') + fromAnsi(payment.Type) +
                               QLatin1Char(' ') + fromAnsi(payment.Summ));
        } else {
            setLabel(line, QString());
        }
    }
}

}  // namespace quillbox::app
