// The window's design table: names, kinds, parent order, places and the
// states the program relies on. No widgets are made here.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/Design.h"

using quillbox::app::ControlKind;
using quillbox::app::ControlRow;
using quillbox::app::formDesign;

namespace {

const ControlRow* find(std::string_view name) {
    for (const ControlRow& row : formDesign()) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

std::vector<std::string> childrenOf(std::string_view parent) {
    std::vector<std::string> names;
    for (const ControlRow& row : formDesign()) {
        if (row.parent == parent) {
            names.emplace_back(row.name);
        }
    }
    return names;
}

TEST(FormDesign, NamesAreUniqueAndParentsArePanelsMadeEarlier) {
    std::map<std::string_view, const ControlRow*> made;
    for (const ControlRow& row : formDesign()) {
        SCOPED_TRACE(std::string(row.name));
        if (!row.parent.empty()) {
            const auto parent = made.find(row.parent);
            ASSERT_NE(parent, made.end());
            EXPECT_EQ(parent->second->kind, ControlKind::Panel);
        }
        EXPECT_TRUE(made.emplace(row.name, &row).second);
    }
}

TEST(FormDesign, ChildrenOfPanelsLieInsideThem) {
    for (const ControlRow& row : formDesign()) {
        if (row.parent.empty()) {
            continue;
        }
        SCOPED_TRACE(std::string(row.name));
        const ControlRow* parent = find(row.parent);
        ASSERT_NE(parent, nullptr);
        EXPECT_GE(row.left, 0);
        EXPECT_GE(row.top, 0);
        EXPECT_LE(row.left + row.width, parent->width);
        EXPECT_LE(row.top + row.height, parent->height);
    }
}

TEST(FormDesign, ControlsTheProgramUsesHaveTheirKinds) {
    struct Expected {
        std::string_view name;
        ControlKind kind;
    };
    const std::vector<Expected> table = {
        // Controls that take the language's character set.
        {"BSPHeaderL", ControlKind::Label},
        {"Label21", ControlKind::Label},
        {"Label23", ControlKind::Label},
        {"Label24", ControlKind::Label},
        {"Label25", ControlKind::Label},
        {"Label26", ControlKind::Label},
        {"Label27", ControlKind::Label},
        {"Label28", ControlKind::Label},
        {"Label29", ControlKind::Label},
        {"MPUpdateRSSL", ControlKind::Label},
        {"MPUpdateBSL", ControlKind::Label},
        {"MnPHeaderL", ControlKind::Label},
        {"RSSHeaderL", ControlKind::Label},
        {"SPHeaderL", ControlKind::Label},
        {"SPUpdateRSSCB", ControlKind::CheckBox},
        {"SPUpdateBSCB", ControlKind::CheckBox},
        {"SPStartupCB", ControlKind::CheckBox},
        {"SPUseProxyCB", ControlKind::CheckBox},
        {"SPPictureCB", ControlKind::CheckBox},
        {"SPProxyHostL", ControlKind::Label},
        {"SPProxyPortL", ControlKind::Label},
        {"SPProxyLoginL", ControlKind::Label},
        {"SPProxyPasswordL", ControlKind::Label},
        {"SPSetConnectL", ControlKind::Label},
        {"SPLoginL", ControlKind::Label},
        {"SPPasswordL", ControlKind::Label},
        {"APHeaderL", ControlKind::Label},
        {"APHelpL1", ControlKind::JustifiedLabel},
        {"APHelpL2", ControlKind::JustifiedLabel},
        {"APHelpL3", ControlKind::JustifiedLabel},
        {"APHelpL4", ControlKind::Label},
        {"SPLangL", ControlKind::Label},
        // Edits the settings screen reads and writes.
        {"SPLoginE", ControlKind::Edit},
        {"SPPasswordE", ControlKind::PasswordEdit},
        {"SPProxyHostE", ControlKind::Edit},
        {"SPProxyPortE", ControlKind::Edit},
        {"SPProxyLoginE", ControlKind::Edit},
        {"SPProxyPasswordE", ControlKind::PasswordEdit},
        // Templates of the book marks.
        {"Image48", ControlKind::Image},
        {"Image49", ControlKind::Image},
        {"Image50", ControlKind::Image},
        // Screens and overlays.
        {"MenuPanel", ControlKind::Panel},
        {"ColorPanel", ControlKind::Panel},
        {"TomeportPanel", ControlKind::Panel},
        {"RSSPanel", ControlKind::Panel},
        {"Hourglass", ControlKind::Panel},
        {"BookShelfPanel", ControlKind::Panel},
        {"BookPanel", ControlKind::Panel},
        {"SettingPanel", ControlKind::Panel},
        {"AboutPanel", ControlKind::Panel},
        {"CopyPanel", ControlKind::Panel},
        {"MoneyPanel", ControlKind::Panel},
        {"ErrorPanel", ControlKind::Panel},
        {"ProgressBar1", ControlKind::ProgressBar},
    };
    for (const Expected& expected : table) {
        SCOPED_TRACE(std::string(expected.name));
        const ControlRow* row = find(expected.name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->kind, expected.kind);
    }
}

TEST(FormDesign, LanguagePictureTargetsAreImagesWithoutAPictureOfTheirOwn) {
    const std::vector<std::string_view> targets = {
        "MPRSSImg",          "MPBookShelfImg", "MPBalanceImg",  "MPUpdateImg",   "MPSettingImg",
        "MPAboutImg",        "MPTomeportImg",  "MPMinimizeImg", "MPExitImg",     "RSSAddImg",
        "RSSDeleteImg",      "RSSMenuImg",     "BPMenuImg",     "BSPMenuImg",    "SPCancelImg",
        "SPSaveImg",         "APMenuImg",      "BPDownloadImg", "BPDeletePCImg", "BPSaveDeviceImg",
        "BPDeleteDeviceImg", "BSPUpdateImg",   "RSSSaveImg",    "RSSUpdateImg",  "MnPMenuImg",
    };
    for (std::string_view name : targets) {
        SCOPED_TRACE(std::string(name));
        const ControlRow* row = find(name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->kind, ControlKind::Image);
        EXPECT_TRUE(row->picture.empty());
    }
}

TEST(FormDesign, WindowChildrenFollowTheStackingOrder) {
    const std::vector<std::string> bottomFirst = {
        "QuillboxImage", "Label37",   "MenuPanel",      "ColorPanel", "TomeportPanel",
        "RSSPanel",      "Hourglass", "BookShelfPanel", "BookPanel",  "SettingPanel",
        "AboutPanel",    "CopyPanel", "MoneyPanel",     "ErrorPanel",
    };
    EXPECT_EQ(childrenOf(""), bottomFirst);
}

TEST(FormDesign, HighlightFramesAreHiddenAndOnTopOfTheirScreens) {
    for (std::string_view frame : {"MPSelectImg", "RSSSelectImg", "BSPSelectImg", "BPSelectImg",
                                   "SPSelectImg", "APSelectImg", "MnPSelectImg"}) {
        SCOPED_TRACE(std::string(frame));
        const ControlRow* row = find(frame);
        ASSERT_NE(row, nullptr);
        EXPECT_FALSE(row->visible);
        EXPECT_FALSE(row->picture.empty());
        EXPECT_EQ(childrenOf(row->parent).back(), frame);
    }
}

TEST(FormDesign, PlacesAndSizes) {
    struct Place {
        std::string_view name;
        int left, top, width, height;
    };
    const std::vector<Place> table = {
        {"QuillboxImage", 0, 0, 468, 718},   {"MenuPanel", 0, 0, 351, 465},
        {"ErrorPanel", 0, 0, 350, 130},      {"Hourglass", 0, 0, 30, 40},
        {"CopyPanel", 0, 0, 350, 100},       {"MPHeaderL", 0, 2, 351, 32},
        {"MPExitImg", 230, 330, 110, 110},   {"MPRSSImg", 10, 110, 110, 110},
        {"Label29", 130, 10, 210, 110},      {"Image63", 0, 0, 350, 130},
        {"ProgressBar1", 16, 48, 289, 17},   {"RSSListBox", 10, 32, 330, 331},
        {"RSSDeleteImg", 227, 392, 111, 35}, {"RSSUpdateImg", 174, 426, 165, 35},
        {"BPListBox", 24, 32, 255, 330},     {"SPLoginE", 72, 248, 249, 21},
        {"SPCancelImg", 210, 416, 110, 40},  {"Label28", 0, 162, 351, 23},
        {"MnPMenuImg", 120, 400, 110, 40},   {"APHelpL3", 7, 40, 337, 161},
    };
    for (const Place& place : table) {
        SCOPED_TRACE(std::string(place.name));
        const ControlRow* row = find(place.name);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(row->left, place.left);
        EXPECT_EQ(row->top, place.top);
        EXPECT_EQ(row->width, place.width);
        EXPECT_EQ(row->height, place.height);
    }
}

TEST(FormDesign, DesignStatesTheProgramStartsFrom) {
    const ControlRow* reference = find("Label37");
    ASSERT_NE(reference, nullptr);
    EXPECT_EQ(reference->width, 1000);
    EXPECT_FALSE(reference->visible);

    for (std::string_view name : {"RSSDeleteImg", "SPUpdateRSSL", "SPUpdateBSL"}) {
        SCOPED_TRACE(std::string(name));
        ASSERT_NE(find(name), nullptr);
        EXPECT_FALSE(find(name)->enabled);
    }
    for (std::string_view name : {"Image48", "Image49", "Image50"}) {
        SCOPED_TRACE(std::string(name));
        const ControlRow* mark = find(name);
        ASSERT_NE(mark, nullptr);
        EXPECT_FALSE(mark->visible);
        EXPECT_EQ(mark->width, 20);
        EXPECT_EQ(mark->height, 20);
        EXPECT_FALSE(mark->picture.empty());
    }
    std::set<std::string_view> markPictures;
    for (std::string_view name : {"Image48", "Image49", "Image50"}) {
        markPictures.insert(find(name)->picture);
    }
    EXPECT_EQ(markPictures.size(), 3U);

    const ControlRow* title = find("MPHeaderL");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->text, "Quillbox");
    EXPECT_EQ(title->font.family, "Arial");
    EXPECT_EQ(title->font.pixelSize, 27);
    EXPECT_TRUE(title->font.bold);
    EXPECT_TRUE(title->font.underline);
    ASSERT_NE(find("Label19"), nullptr);
    EXPECT_EQ(find("Label19")->text, "0%");
    ASSERT_NE(find("QuillboxL"), nullptr);
    EXPECT_EQ(find("QuillboxL")->text, "Quillbox v 2.3");
}

}  // namespace
