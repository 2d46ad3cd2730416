#pragma once
// The button pictures a language module carries: the name the window asks for,
// the size of the control that shows it (design pixels at 96 dpi; the window
// scales it), and the pictogram drawn on it (a file of pictograms/).

#include <array>
#include <string_view>

namespace quillbox::render {

struct PictureEntry {
    std::string_view name;
    int width;
    int height;
    std::string_view pictogram;
};

// One entry per picture name, in the order the window loads them. "MenuIcon"
// serves both the help and the balance screen, whose buttons are 110 x 40.
inline constexpr std::array<PictureEntry, 23> kPictureTable{{
    {"MenuRSSIcon", 110, 110, "newspaper.svg"},
    {"MenuBookShelfIcon", 110, 110, "bookshelf.svg"},
    {"MenuMoneyIcon", 110, 110, "coins.svg"},
    {"MenuUpdateIcon", 110, 110, "refresh.svg"},
    {"MenuSettingIcon", 110, 110, "gear.svg"},
    {"MenuAboutIcon", 110, 110, "help.svg"},
    {"MenuLinkIcon", 110, 110, "globe.svg"},
    {"MenuMinimizeIcon", 110, 110, "minimise.svg"},
    {"MenuExitIcon", 110, 110, "power.svg"},
    {"AddRSSIcon", 111, 35, "plus.svg"},
    {"DeleteRSSIcon", 111, 35, "trash.svg"},
    {"MenuBookIcon", 111, 35, "back.svg"},
    {"BookShelfIconMenu", 150, 40, "menu.svg"},
    {"CancelIcon", 110, 40, "cross.svg"},
    {"SaveIcon", 110, 40, "check.svg"},
    {"MenuIcon", 110, 40, "menu.svg"},
    {"DownloadBook", 111, 35, "download.svg"},
    {"DeleteBookFromComputerIcon", 166, 35, "computer-delete.svg"},
    {"SaveBookIcon", 111, 35, "reader-save.svg"},
    {"DeleteBookFromDeviceIcon", 166, 35, "reader-delete.svg"},
    {"UpdateBookShelfIcon", 150, 40, "refresh.svg"},
    {"Convert", 165, 35, "news-to-reader.svg"},
    {"UpdateRSSIcon", 165, 35, "refresh.svg"},
}};

}  // namespace quillbox::render
