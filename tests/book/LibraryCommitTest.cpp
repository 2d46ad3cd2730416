#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "book/LibraryCommit.h"
#include "tests/book/LibraryFixture.h"

using namespace quillbox;
using namespace quillbox::test;

namespace {

// The step of the save at which the child process kills itself.
int g_killAtStep = 0;
int g_stepsReached = 0;

void killAtChosenStep() {
    if (++g_stepsReached == g_killAtStep) {
        ::kill(::getpid(), SIGKILL);
    }
}

// Every shelf and book record of a library, in order: two libraries that give
// the same text hold the same shelves and books with the same flags.
std::string libraryBytes(const TBookLibrary& library) {
    std::string bytes;
    for (int s = 0; s < library.ShelfCount; ++s) {
        const TBookShelf& shelf = *library.Shelves[s];
        bytes += shelfBytes(shelf);
        for (int b = 0; b < shelf.BookCount; ++b) {
            bytes += recordBytes(*shelf.BookList[b]);
        }
    }
    return bytes;
}

// A library whose every shelf and book is in all three lists, so that every
// one of the seven files differs between two such libraries.
struct MarkedLibrary {
    OwnedLibrary owned;
    TMoney money{};

    MarkedLibrary(const std::string& name, int books) {
        constexpr std::uint16_t kAll = kFlagOnAccount | kFlagOnComputer | kFlagOnReader;
        for (int s = 0; s < 2; ++s) {
            TBookShelf& shelf = owned.addShelf(
                makeShelf(name + numbered(" shelf ", s), name + numbered("-", s), kAll));
            for (int b = 0; b < books; ++b) {
                owned.addBook(shelf, makeBook(name + numbered(" book ", b),
                                              name + numbered("/", s * 100 + b), kAll));
            }
        }
        setFieldText(money.Balance, name);
    }
};

class LibraryCommit : public LibraryFolder {
  protected:
    std::string folderFor(const std::string& name) { return m_home.file(name + "/"); }

    bool saveTo(const std::string& folder, const MarkedLibrary& library) {
        return book::SaveBookLibraryToFile(library.owned.library, library.money, folder,
                                           "BookShelfs", "Books");
    }

    // The library a fresh load of the folder gives.
    std::string loadFrom(const std::string& folder) {
        OwnedLibrary loaded;
        TMoney money{};
        EXPECT_TRUE(book::LoadBookLibraryFromFile(loaded.library, money, folder, "BookShelfs",
                                                  "Books", true));
        return libraryBytes(loaded.library) + recordBytes(money);
    }

    // Saves library into folder in a child process that kills itself before the
    // given step of the save. Returns true when the save finished before that.
    static bool saveKilledAtStep(const std::string& folder, const MarkedLibrary& library,
                                 int step) {
        const pid_t child = ::fork();
        if (child == 0) {
            g_killAtStep = step;
            book::setSaveStepHook(&killAtChosenStep);
            const bool saved = book::SaveBookLibraryToFile(library.owned.library, library.money,
                                                           folder, "BookShelfs", "Books");
            ::_exit(saved ? 0 : 1);
        }
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        if (WIFEXITED(status)) {
            EXPECT_EQ(WEXITSTATUS(status), 0) << "the save failed at step " << step;
            return true;
        }
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "step " << step;
        return false;
    }

    static std::set<std::string> entriesOf(const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    static std::set<std::string> sevenFiles() {
        return {libraryFileNames().begin(), libraryFileNames().end()};
    }
};

}  // namespace

TEST_F(LibraryCommit, AKillAtAnyStepOfASaveLeavesTheOldOrTheNewLibraryWhole) {
    const MarkedLibrary oldLibrary("old", 2);
    const MarkedLibrary newLibrary("new", 3);
    const MarkedLibrary nextLibrary("next", 1);
    for (const MarkedLibrary* library : {&oldLibrary, &newLibrary, &nextLibrary}) {
        for (int s = 0; s < 2; ++s) {
            for (int b = 0; b < library->owned.library.Shelves[s]->BookCount; ++b) {
                placeComputerCopy(*library->owned.library.Shelves[s]->BookList[b]);
            }
        }
    }
    // What each library's files hold and what loading them gives.
    struct Expected {
        std::vector<std::string> files;
        std::string loaded;
    };
    std::vector<Expected> expected;
    for (const MarkedLibrary* library : {&oldLibrary, &newLibrary, &nextLibrary}) {
        const std::string folder = folderFor(std::string(fieldText(library->money.Balance)));
        ASSERT_TRUE(saveTo(folder, *library));
        expected.push_back({readLibraryFiles(folder), loadFrom(folder)});
    }
    ASSERT_NE(expected[0].loaded, expected[1].loaded);

    bool sawOld = false;
    bool sawNew = false;
    bool finished = false;
    for (int step = 1; !finished; ++step) {
        ASSERT_LT(step, 100) << "the save never finished";
        SCOPED_TRACE(numbered("killed before step ", step));
        // The kill is followed by a load in one folder and by the next save in
        // the other: each must first finish or drop what the kill left.
        const std::string loadedFirst = folderFor(numbered("load-", step));
        const std::string savedFirst = folderFor(numbered("save-", step));
        ASSERT_TRUE(saveTo(loadedFirst, oldLibrary));
        ASSERT_TRUE(saveTo(savedFirst, oldLibrary));
        finished = saveKilledAtStep(loadedFirst, newLibrary, step);
        ASSERT_EQ(saveKilledAtStep(savedFirst, newLibrary, step), finished);

        const std::string loaded = loadFrom(loadedFirst);
        const std::vector<std::string> files = readLibraryFiles(loadedFirst);
        if (loaded == expected[0].loaded && !finished) {
            // Once a kill leaves the new library, every later one does.
            EXPECT_FALSE(sawNew) << "the old library came back";
            sawOld = true;
            EXPECT_EQ(files, expected[0].files);
        } else {
            sawNew = true;
            EXPECT_EQ(loaded, expected[1].loaded) << "neither the old nor the new library";
            EXPECT_EQ(files, expected[1].files);
        }

        for (const std::string& folder : {loadedFirst, savedFirst}) {
            ASSERT_TRUE(saveTo(folder, nextLibrary));
            EXPECT_EQ(entriesOf(folder), sevenFiles()) << "something left beside the files";
            EXPECT_EQ(readLibraryFiles(folder), expected[2].files);
        }
        EXPECT_EQ(loadFrom(savedFirst), expected[2].loaded);
    }
    EXPECT_TRUE(sawOld);
    EXPECT_TRUE(sawNew);
}

TEST_F(LibraryCommit, AMarkerThatDoesNotReadAsOneIsDroppedWithTheStagedFiles) {
    const MarkedLibrary oldLibrary("old", 1);
    const MarkedLibrary newLibrary("new", 1);
    ASSERT_TRUE(saveTo(m_folder, newLibrary));
    const std::vector<std::string> newFiles = readLibraryFiles(m_folder);
    ASSERT_TRUE(saveTo(m_folder, oldLibrary));
    const std::vector<std::string> oldFiles = readLibraryFiles(m_folder);
    // Staged new files, and a marker naming one of them by a path that leads
    // out of the folder: nothing may be renamed on its word.
    for (std::size_t i = 0; i < libraryFileNames().size(); ++i) {
        writeFile(book::stagedPathFor(libraryFile(libraryFileNames()[i])), newFiles[i]);
    }
    const char marker[] = "quillbox library commit 1\nBooks1.dat\0../BookLibrary/Books2.dat";
    writeFile(libraryFile(".library.qbcommit"), std::string(marker, sizeof marker));

    OwnedLibrary loaded;
    TMoney money{};
    ASSERT_TRUE(load(loaded.library, money, true));
    EXPECT_EQ(readLibraryFiles(m_folder), oldFiles);
    EXPECT_EQ(entriesOf(m_folder), sevenFiles());
}
