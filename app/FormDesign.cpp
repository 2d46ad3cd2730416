// The window's design table: every control at 96 pixels per inch, in creation
// (z) order. Texts, hints and button pictures that the language module sets are
// left empty here; skin pictures name the window's own SVG resources.
//
// Values chosen where the layout fixes no place or size (control: value, why):
// - Label37: 0,0 1000x13; one line of the window's 11 px font.
// - panels (screens and overlays): 0,0, hidden; the window places each one and shows
//   it through the screen change or the overlay's show operation.
// - MPGroundImg, RSSGroundImg: 0,0 351x465, stretched; the background fills the panel.
// - MPUpdateRSSL, MPUpdateBSL: 331x15; room for the text right of left 10, one 12 px line.
// - MPSelectImg: 10,110, hidden; over the first icon until the mouse moves the frame.
// - TomeportImage: 0,0 at the picture's own size; the button layout centres it.
// - RSSSelectImg: 119,392 111x35, hidden; over RSSMenuImg, takes the hovered size.
// - BSPHeaderL, BPHeaderL: 0,0; the titles of every screen sit at the top.
// - APHeaderL: 0,0 351x32, centred, Arial 27 bold underlined; as every other title.
// - BSPLeftImg, BSPRightImg: 10,370 and 310,370, 30x30; centred on BSPPagesL's line.
// - BSPMenuImg, BSPUpdateImg: 25,405 and 175,405; the layout's lefts at width 351,
//   between the page line and the panel's bottom.
// - BSPSelectImg: 25,405, hidden; over BSPMenuImg.
// - BPLeftImg, BPRightImg: 10,362 and 310,362; the page line is the news screen's.
// - Image48, Image49, Image50: 280,40 304,40 328,40; the first row's mark places.
// - BPDownloadImg 11,392; BPMenuImg 120,392; BPSaveDeviceImg 228,392; BPDeletePCImg
//   11,426; BPDeleteDeviceImg 175,426: the button layout's places at 351x465.
// - BPSelectImg: 120,392 111x35, hidden; over BPMenuImg, takes the hovered size.
// - SPUpdateBS*Img, SPLang*Img: 30x30; as the feed period arrows.
// - SPLoginL, SPPasswordL, SPProxy*L: 60x13; one line that ends before the edits.
// - SPPasswordE, SPProxy*E: 249x21; as SPLoginE.
// - SPSelectImg: 30,416, hidden; over SPSaveImg.
// - APHelpL1: 7,40; APHelpL2: 7,196 (APHelpL1's bottom); APHelpL3: 7,40; centred
//   under the title.
// - APHelpL4: 7,201 337x100, Arial 12, word wrap; below APHelpL3 at the same width.
// - QuillboxL: 0,320 351x16, centred, Arial 12 bold; TomeportSiteL: 0,340 351x15,
//   centred, Arial 12, no design text (the window sets the configured address).
// - APLeftImg, APRightImg: 10,405 and 310,405; beside APMenuImg, on its middle line.
// - APMenuImg: 120,400 110x40; it shows the same picture as MnPMenuImg.
// - APSelectImg: 120,400, hidden; over APMenuImg.
// - help screen: page 1 as designed (APHelpL3, APHelpL4, QuillboxL, TomeportSiteL
//   and APLeftImg hidden).
// - Label21, Label18: 310x13; one line within the 350 wide box. Label19: 30x13; "100%".
// - Label24..Label28: Arial 12; as the balance line above them.
// - MnPSelectImg: 120,400, hidden; over MnPMenuImg.
// - Image60: 10,10; the layout centres the 110 high icon in the 130 high box.
// - every skin picture with a size is stretched: one drawing serves frames of
//   several sizes and stays sharp at any scale.
// - SettingPanel's focusable controls are created in the keyboard tab order.

#include "app/Design.h"

#include <string>

namespace quillbox::app {
namespace {

using K = ControlKind;

constexpr FontStyle kTitleFont{"Arial", 27, true, true};
constexpr FontStyle kArial12{"Arial", 12};
constexpr FontStyle kArial12Bold{"Arial", 12, true};

constexpr std::string_view kWindow;
constexpr std::string_view kMenu = "MenuPanel";
constexpr std::string_view kTomeport = "TomeportPanel";
constexpr std::string_view kRss = "RSSPanel";
constexpr std::string_view kHourglass = "Hourglass";
constexpr std::string_view kShelves = "BookShelfPanel";
constexpr std::string_view kBook = "BookPanel";
constexpr std::string_view kSetting = "SettingPanel";
constexpr std::string_view kAbout = "AboutPanel";
constexpr std::string_view kCopy = "CopyPanel";
constexpr std::string_view kMoney = "MoneyPanel";
constexpr std::string_view kError = "ErrorPanel";

constexpr int kPanelWidth = 351;
constexpr int kPanelHeight = 465;

// One row, built from its place and refined by the calls that follow.
struct Row : ControlRow {
    Row(K k, std::string_view n, std::string_view p, int l, int t, int w, int h) {
        kind = k;
        name = n;
        parent = p;
        left = l;
        top = t;
        width = w;
        height = h;
    }
    Row& caption(std::string_view s) {
        text = s;
        return *this;
    }
    Row& typeface(const FontStyle& f) {
        font = f;
        return *this;
    }
    Row& centred() {
        align = TextAlign::Centre;
        return *this;
    }
    Row& hidden() {
        visible = false;
        return *this;
    }
    Row& disabled() {
        enabled = false;
        return *this;
    }
    Row& wrapped() {
        wordWrap = true;
        return *this;
    }
    Row& skin(std::string_view p) {
        picture = p;
        stretch = width > 0;
        return *this;
    }
};

Row screen(std::string_view name) {
    return Row(K::Panel, name, kWindow, 0, 0, kPanelWidth, kPanelHeight).hidden();
}
Row background(std::string_view name, std::string_view parent) {
    return Row(K::Image, name, parent, 0, 0, kPanelWidth, kPanelHeight).skin("background");
}
Row title(std::string_view name, std::string_view parent, int left, int width) {
    return Row(K::Label, name, parent, left, 0, width, 32).typeface(kTitleFont);
}
// The highlight frame drawn for a button size (each size has its own drawing,
// so the frame's corners and sides keep their width).
std::string_view highlightFor(int w, int h) {
    constexpr std::string_view kFrames[] = {"highlight-110x110", "highlight-110x40",
                                            "highlight-150x40",  "highlight-111x35",
                                            "highlight-165x35",  "highlight-166x35"};
    for (std::string_view frame : kFrames) {
        const std::string_view size = frame.substr(frame.find('-') + 1);
        if (size == std::to_string(w) + "x" + std::to_string(h)) {
            return frame;
        }
    }
    return kFrames[0];
}

Row frame(std::string_view name, std::string_view parent, int l, int t, int w, int h) {
    return Row(K::Image, name, parent, l, t, w, h).skin(highlightFor(w, h)).hidden();
}
Row leftArrow(std::string_view name, std::string_view parent, int top) {
    return Row(K::Image, name, parent, 10, top, 30, 30).skin("arrow-left");
}
Row rightArrow(std::string_view name, std::string_view parent, int top) {
    return Row(K::Image, name, parent, 310, top, 30, 30).skin("arrow-right");
}
// A button whose picture comes from the language module.
Row button(std::string_view name, std::string_view parent, int l, int t, int w, int h) {
    return Row(K::Image, name, parent, l, t, w, h);
}
// A line of the balance screen: the balance, then the payments.
Row moneyLine(std::string_view name, int top) {
    return Row(K::Label, name, kMoney, 0, top, kPanelWidth, 23)
        .typeface(kArial12)
        .centred()
        .wrapped();
}
Row pagesLine(std::string_view name, std::string_view parent, int top) {
    return Row(K::Label, name, parent, 40, top, 270, 15).typeface(kArial12Bold).centred();
}

std::vector<ControlRow> build() {
    return {
        Row(K::Image, "QuillboxImage", kWindow, 0, 0, 468, 718).skin("device"),
        Row(K::Label, "Label37", kWindow, 0, 0, 1000, 13).hidden(),

        // Main menu.
        screen(kMenu),
        background("MPGroundImg", kMenu),
        Row(K::Label, "MPHeaderL", kMenu, 0, 2, kPanelWidth, 32)
            .typeface(kTitleFont)
            .caption("Quillbox")
            .centred(),
        Row(K::Label, "MPUpdateRSSL", kMenu, 10, 50, 331, 15).typeface(kArial12),
        Row(K::Label, "MPUpdateBSL", kMenu, 10, 72, 331, 15).typeface(kArial12),
        button("MPRSSImg", kMenu, 10, 110, 110, 110),
        button("MPBookShelfImg", kMenu, 120, 110, 110, 110),
        button("MPBalanceImg", kMenu, 230, 110, 110, 110),
        button("MPUpdateImg", kMenu, 10, 220, 110, 110),
        button("MPSettingImg", kMenu, 120, 220, 110, 110),
        button("MPAboutImg", kMenu, 230, 220, 110, 110),
        button("MPTomeportImg", kMenu, 10, 330, 110, 110),
        button("MPMinimizeImg", kMenu, 120, 330, 110, 110),
        button("MPExitImg", kMenu, 230, 330, 110, 110),
        frame("MPSelectImg", kMenu, 10, 110, 110, 110),

        screen("ColorPanel"),

        screen(kTomeport),
        Row(K::Image, "TomeportImage", kTomeport, 0, 0, 0, 0).skin("splash"),

        // News screen.
        screen(kRss),
        background("RSSGroundImg", kRss),
        title("RSSHeaderL", kRss, 88, 263),
        Row(K::Image, "RSSHeaderImg", kRss, 48, 0, 33, 33).skin("title-news"),
        Row(K::ListBox, "RSSListBox", kRss, 10, 32, 330, 331),
        Row(K::Edit, "RSSEdit", kRss, 15, 128, 320, 23).typeface(kArial12Bold).hidden(),
        pagesLine("RSSPagesL", kRss, 370),
        leftArrow("RSSLeftImg", kRss, 362),
        rightArrow("RSSRightImg", kRss, 362),
        button("RSSAddImg", kRss, 12, 392, 111, 35),
        button("RSSMenuImg", kRss, 119, 392, 111, 35),
        button("RSSDeleteImg", kRss, 227, 392, 111, 35).disabled(),
        button("RSSSaveImg", kRss, 12, 426, 165, 35),
        button("RSSUpdateImg", kRss, 174, 426, 165, 35),
        frame("RSSSelectImg", kRss, 119, 392, 111, 35),

        // Busy indicator, moved onto the current screen when shown.
        Row(K::Panel, kHourglass, kWindow, 0, 0, 30, 40).hidden(),
        Row(K::Image, "HourglassImage", kHourglass, 0, 0, 30, 40).skin("hourglass"),

        // Bookshelf screen.
        screen(kShelves),
        title("BSPHeaderL", kShelves, 0, kPanelWidth).centred(),
        Row(K::ListBox, "BSPListBox", kShelves, 10, 32, 330, 330),
        pagesLine("BSPPagesL", kShelves, 378),
        leftArrow("BSPLeftImg", kShelves, 370),
        rightArrow("BSPRightImg", kShelves, 370),
        button("BSPMenuImg", kShelves, 25, 405, 150, 40),
        button("BSPUpdateImg", kShelves, 175, 405, 150, 40),
        frame("BSPSelectImg", kShelves, 25, 405, 150, 40),

        // Book screen; its row marks and check boxes are made at start-up.
        screen(kBook),
        title("BPHeaderL", kBook, 0, kPanelWidth).centred(),
        Row(K::ListBox, "BPListBox", kBook, 24, 32, 255, 330),
        pagesLine("BPPagesL", kBook, 370),
        leftArrow("BPLeftImg", kBook, 362),
        rightArrow("BPRightImg", kBook, 362),
        Row(K::Image, "Image48", kBook, 280, 40, 20, 20).skin("mark-account").hidden(),
        Row(K::Image, "Image49", kBook, 304, 40, 20, 20).skin("mark-computer").hidden(),
        Row(K::Image, "Image50", kBook, 328, 40, 20, 20).skin("mark-reader").hidden(),
        button("BPDownloadImg", kBook, 11, 392, 111, 35),
        button("BPMenuImg", kBook, 120, 392, 111, 35),
        button("BPSaveDeviceImg", kBook, 228, 392, 111, 35),
        button("BPDeletePCImg", kBook, 11, 426, 166, 35),
        button("BPDeleteDeviceImg", kBook, 175, 426, 166, 35),
        frame("BPSelectImg", kBook, 120, 392, 111, 35),

        // Settings screen.
        screen(kSetting),
        title("SPHeaderL", kSetting, 0, kPanelWidth).centred(),
        Row(K::CheckBox, "SPUpdateRSSCB", kSetting, 16, 40, 321, 17),
        leftArrow("SPUpdateRSSLeftImg", kSetting, 58),
        rightArrow("SPUpdateRSSRightImg", kSetting, 58),
        Row(K::Label, "SPUpdateRSSL", kSetting, 0, 66, 350, 15).centred().disabled(),
        Row(K::CheckBox, "SPUpdateBSCB", kSetting, 16, 112, 321, 17),
        leftArrow("SPUpdateBSLeftImg", kSetting, 130),
        rightArrow("SPUpdateBSRightImg", kSetting, 130),
        Row(K::Label, "SPUpdateBSL", kSetting, 0, 138, 350, 15).centred().disabled(),
        Row(K::CheckBox, "SPStartupCB", kSetting, 16, 160, 321, 17),
        leftArrow("SPLangLeftImg", kSetting, 178),
        rightArrow("SPLangRightImg", kSetting, 178),
        Row(K::Label, "SPLangL", kSetting, 1, 186, 350, 15).centred(),
        Row(K::Label, "SPSetConnectL", kSetting, 0, 210, 351, 39).centred().wrapped(),
        Row(K::Label, "SPLoginL", kSetting, 10, 250, 60, 13),
        Row(K::Edit, "SPLoginE", kSetting, 72, 248, 249, 21),
        Row(K::Label, "SPPasswordL", kSetting, 10, 274, 60, 13),
        Row(K::PasswordEdit, "SPPasswordE", kSetting, 72, 272, 249, 21),
        Row(K::CheckBox, "SPUseProxyCB", kSetting, 17, 296, 320, 17),
        Row(K::Label, "SPProxyHostL", kSetting, 10, 324, 60, 13),
        Row(K::Edit, "SPProxyHostE", kSetting, 73, 320, 249, 21),
        Row(K::Label, "SPProxyPortL", kSetting, 10, 348, 60, 13),
        Row(K::Edit, "SPProxyPortE", kSetting, 73, 344, 249, 21),
        Row(K::Label, "SPProxyLoginL", kSetting, 10, 372, 60, 13),
        Row(K::Edit, "SPProxyLoginE", kSetting, 73, 368, 249, 21),
        Row(K::Label, "SPProxyPasswordL", kSetting, 10, 396, 60, 13),
        Row(K::PasswordEdit, "SPProxyPasswordE", kSetting, 73, 392, 249, 21),
        Row(K::CheckBox, "SPPictureCB", kSetting, 16, 93, 321, 17),
        button("SPSaveImg", kSetting, 30, 416, 110, 40),
        button("SPCancelImg", kSetting, 210, 416, 110, 40),
        frame("SPSelectImg", kSetting, 30, 416, 110, 40),

        // Help screen, showing page 1.
        screen(kAbout),
        title("APHeaderL", kAbout, 0, kPanelWidth).centred(),
        Row(K::JustifiedLabel, "APHelpL1", kAbout, 7, 40, 337, 156).typeface(kArial12),
        Row(K::JustifiedLabel, "APHelpL2", kAbout, 7, 196, 337, 113).typeface(kArial12),
        Row(K::JustifiedLabel, "APHelpL3", kAbout, 7, 40, 337, 161).typeface(kArial12).hidden(),
        Row(K::Label, "APHelpL4", kAbout, 7, 201, 337, 100).typeface(kArial12).wrapped().hidden(),
        Row(K::Label, "QuillboxL", kAbout, 0, 320, kPanelWidth, 16)
            .caption("Quillbox v 2.3")
            .typeface(kArial12Bold)
            .centred()
            .hidden(),
        Row(K::Label, "TomeportSiteL", kAbout, 0, 340, kPanelWidth, 15)
            .typeface(kArial12)
            .centred()
            .hidden(),
        leftArrow("APLeftImg", kAbout, 405).hidden(),
        rightArrow("APRightImg", kAbout, 405),
        button("APMenuImg", kAbout, 120, 400, 110, 40),
        frame("APSelectImg", kAbout, 120, 400, 110, 40),

        // Copy progress box, moved onto the current screen when shown.
        Row(K::Panel, kCopy, kWindow, 0, 0, 350, 100).hidden(),
        Row(K::Label, "Label21", kCopy, 20, 5, 310, 13),
        Row(K::Label, "Label18", kCopy, 20, 20, 310, 13),
        Row(K::ProgressBar, "ProgressBar1", kCopy, 16, 48, 289, 17),
        Row(K::Label, "Label19", kCopy, 320, 48, 30, 13).caption("0%"),

        // Balance screen.
        screen(kMoney),
        title("MnPHeaderL", kMoney, 0, kPanelWidth).centred(),
        moneyLine("Label23", 42),
        moneyLine("Label24", 66),
        moneyLine("Label25", 90),
        moneyLine("Label26", 114),
        moneyLine("Label27", 138),
        moneyLine("Label28", 162),
        button("MnPMenuImg", kMoney, 120, 400, 110, 40),
        frame("MnPSelectImg", kMoney, 120, 400, 110, 40),

        // Message box, moved onto the current screen when shown; the frame lies under the rest.
        Row(K::Panel, kError, kWindow, 0, 0, 350, 130).hidden(),
        Row(K::Image, "Image63", kError, 0, 0, 350, 130).skin("message-frame"),
        Row(K::Image, "Image60", kError, 10, 10, 110, 110).skin("message-icon"),
        Row(K::Label, "Label29", kError, 130, 10, 210, 110).wrapped(),
    };
}

}  // namespace

const std::vector<ControlRow>& formDesign() {
    static const std::vector<ControlRow> design = build();
    return design;
}

}  // namespace quillbox::app
