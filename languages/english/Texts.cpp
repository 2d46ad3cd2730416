// The English language module: slot 1, windows-1252 (ANSI_CHARSET).

#include "languages/LanguageModule.h"

namespace quillbox::languages {
namespace {

constexpr LanguageString kStrings[] = {
    {1, "of"},
    {2, "In your Tomeport account"},
    {3, "Saved on this computer"},
    {4, "On the reader"},
    {5, "Bookshelf"},
    {6, "Copying to the reader:"},
    {7, "News updated: "},
    {8, "Bookshelf updated: "},
    {9, "Balance"},
    {10, "News"},
    {11, "Settings"},
    {12, "Update the news automatically"},
    {13, "Update the bookshelf automatically"},
    {14, "Start Quillbox with the system"},
    {15, "Use a proxy server"},
    {16, "Load the pictures of the news"},
    {17, "Server:"},
    {18, "Port:"},
    {19, "Login:"},
    {20, "Password:"},
    {21, "Your Tomeport account"},
    {22, "Login:"},
    {23, "Password:"},
    {24, "Every hour"},
    {25, "Every 2 hours"},
    {26, "Every 3 hours"},
    {27, "Every 6 hours"},
    {28, "Every 12 hours"},
    {29, "Once a day"},
    {30, "Type a feed address here"},
    {31, "The news has been copied to the reader."},
    {32, "Copying to the reader failed."},
    {33, "This feed address is already in the list."},
    {34, "The book has been downloaded."},
    {35, "The book could not be downloaded."},
    {36, "The book could not be deleted."},
    {37, "No reader is connected."},
    {38, " book(s)"},
    {39, "Update completed."},
    {40, "Could not connect to Tomeport."},
    {41, "Tomeport refused access: check your login and password."},
    {42, "The bookshelf could not be loaded."},
    {43, "The book has been copied to the reader."},
    {44, "The news could not be updated."},
    {45, "The server did not send a feed."},
    {46, "This address does not lead to a news feed."},
    {47, "Show"},
    {48, "Hide"},
    {49, "Exit"},
    {50, "Help"},
    {51,
     "Quillbox collects the news of the feeds you follow and turns it into a book for the "
     "reader. Open the news screen, click the empty line below the list, type or paste the "
     "address of a feed and press Enter: the feed is added as soon as its first news has "
     "been fetched. To remove a feed, select it and click the delete button."},
    {52,
     "When the reader is connected, the convert button gathers all news not yet delivered "
     "into one FB2 book and copies it to the \"News\" folder of the reader. News that has "
     "reached the reader does not come again. Quillbox can update the feeds by itself at the "
     "interval chosen on the settings screen; the main menu shows when they were last "
     "updated."},
    {53,
     "The bookshelf shows the books of your Tomeport account, shelf by shelf. Enter your "
     "Tomeport login and password on the settings screen and update the bookshelf: Quillbox "
     "then lists your shelves and the number of books on each. Choose a shelf to see its "
     "books. The marks beside a book tell whether it is in your account, saved on this "
     "computer or on the reader."},
    {54,
     "Tick the books you want and use the buttons below the list: download them to this "
     "computer, save them to the reader (from the computer when a copy is there, otherwise "
     "straight from the store), or delete the copies on the computer or on the reader. Your "
     "balance and the last payments of your account are on the balance screen."},
    {55, "ANSI_CHARSET"},
};

constexpr LanguageTexts kTexts{kLanguageIdentifier, "English", 1, CodePage::Windows1252, kStrings};
static_assert(noFaultyText<firstFaultyText(kTexts)>());

}  // namespace

const LanguageTexts& languageTexts() {
    return kTexts;
}

}  // namespace quillbox::languages
