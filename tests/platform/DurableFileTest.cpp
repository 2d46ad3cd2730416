#include "platform/DurableFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "tests/support/FileSizeLimit.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using platform::DurableFile;
using platform::DurableOptions;
using ::testing::ElementsAre;

std::set<std::string> folderNames(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// The id of a process that has ended.
pid_t endedProcess() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    EXPECT_GT(child, 0);
    EXPECT_EQ(::waitpid(child, nullptr, 0), child);
    return child;
}

class DurableFileTest : public ::testing::Test {
  protected:
    TempDir m_dir;
    std::string m_target = m_dir.file("news.fb2");
};

TEST_F(DurableFileTest, CommitReplacesTheTargetAndLeavesNoTemporary) {
    enum class Way { Buffered, Direct, ThroughFd };
    struct Case {
        const char* name;
        Way way;
        std::size_t size;
        bool durable;
        bool oldFile;
    };
    const Case cases[] = {
        {"small, buffered, new file", Way::Buffered, 100, true, false},
        {"small, buffered, old file", Way::Buffered, 100, true, true},
        {"larger than the buffer", Way::Direct, 1 << 20, true, true},
        {"written by the caller", Way::ThroughFd, 5000, true, true},
        {"not durable", Way::Buffered, 3 << 20, false, true},
        {"empty", Way::Buffered, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.oldFile) {
            writeFile(m_target, "old");
        }
        std::string bytes(c.size, '\0');
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>('a' + i % 23);
        }
        DurableFile file;
        ASSERT_TRUE(file.create(m_target, {.durable = c.durable}).ok());
        if (c.way == Way::ThroughFd) {
            ASSERT_EQ(::write(file.fd(), bytes.data(), bytes.size()),
                      static_cast<ssize_t>(bytes.size()));
        } else {
            // In pieces, so that the buffer fills and empties on the way.
            const std::size_t piece = c.way == Way::Direct ? bytes.size() : 7000;
            for (std::size_t at = 0; at < bytes.size(); at += piece) {
                ASSERT_TRUE(file.write(std::string_view(bytes).substr(at, piece)).ok());
            }
        }
        EXPECT_EQ(readFile(m_target), c.oldFile ? "old" : "");
        ASSERT_TRUE(file.commit().ok());
        EXPECT_EQ(readFile(m_target), bytes);
        EXPECT_THAT(folderNames(m_dir.path()), ElementsAre("news.fb2"));
        std::filesystem::remove(m_target);
    }
}

TEST_F(DurableFileTest, TemporaryNameFollowsTheSchemeAndKeepsWholeCharacters) {
    DurableFile file;
    ASSERT_TRUE(file.create(m_target).ok());
    const std::string prefix = m_dir.file(".news.fb2." + std::to_string(::getpid()) + ".");
    EXPECT_THAT(file.temporaryPath(), ::testing::MatchesRegex(prefix + "[a-z0-9]{8}\\.qbtmp"))
        << file.temporaryPath();

    // 150 two-byte characters: the name is cut to 200 bytes, between characters.
    std::string longName;
    for (int i = 0; i < 150; ++i) {
        longName += "\xD0\x96";
    }
    EXPECT_EQ(platform::temporaryPathFor(m_dir.file(longName), "abcd1234"),
              m_dir.file("." + longName.substr(0, 200) + "." + std::to_string(::getpid()) +
                         ".abcd1234.qbtmp"));
    ASSERT_TRUE(file.create(m_dir.file(longName)).ok());
    EXPECT_TRUE(fileExists(file.temporaryPath()));
}

TEST_F(DurableFileTest, AbandonedFileLeavesTheTargetUntouched) {
    enum class End { Destroyed, Discarded, DestroyedAfterFinish };
    for (const End end : {End::Destroyed, End::Discarded, End::DestroyedAfterFinish}) {
        SCOPED_TRACE(static_cast<int>(end));
        writeFile(m_target, "old");
        {
            DurableFile file;
            ASSERT_TRUE(file.create(m_target).ok());
            ASSERT_TRUE(file.write("new").ok());
            if (end == End::Discarded) {
                file.discard();
                EXPECT_FALSE(file.commit().ok());
            }
            if (end == End::DestroyedAfterFinish) {
                ASSERT_TRUE(file.finish().ok());
            }
        }
        EXPECT_EQ(readFile(m_target), "old");
        EXPECT_THAT(folderNames(m_dir.path()), ElementsAre("news.fb2"));
    }
}

TEST_F(DurableFileTest, StaleTemporariesOfEndedProcessesAreRemovedAndNothingElse) {
    const std::string ended = std::to_string(endedProcess());
    const std::string self = std::to_string(::getpid());
    struct Entry {
        std::string name;
        enum { File, Folder, Link } kind;
        bool kept;
    };
    const Entry entries[] = {
        {".news.fb2." + ended + ".abcd1234.qbtmp", Entry::File, false},
        {".other.txt." + ended + ".0000zzzz.qbtmp", Entry::File, false},
        {".news.fb2." + self + ".abcd1234.qbtmp", Entry::File, true},  // a live process
        {".news.fb2.1.abcd1234.qbtmp", Entry::File, true},             // init never ends
        {".news.fb2." + ended + ".abcd1234.qbtmp.bak", Entry::File, true},
        {".news.fb2." + ended + ".ABCD1234.qbtmp", Entry::File, true},
        {".news.fb2." + ended + ".abc1234.qbtmp", Entry::File, true},
        {"news.fb2." + ended + ".abcd1234.qbtmp", Entry::File, true},
        {".news.fb2.x" + ended + ".abcd1234.qbtmp", Entry::File, true},
        {".news.fb2.tmp", Entry::File, true},
        {".l." + ended + ".abcd1234.qbtmp", Entry::Link, true},
        {".d." + ended + ".abcd1234.qbtmp", Entry::Folder, true},
        {"notes.txt", Entry::File, true},
    };
    const std::string victim = m_dir.file("victim");
    writeFile(victim, "victim");
    for (const Entry& entry : entries) {
        const std::string path = m_dir.file(entry.name);
        if (entry.kind == Entry::File) {
            writeFile(path, "x");
        } else if (entry.kind == Entry::Folder) {
            std::filesystem::create_directory(path);
        } else {
            std::filesystem::create_symlink(victim, path);
        }
    }
    DurableFile file;
    ASSERT_TRUE(file.create(m_target).ok());
    const std::set<std::string> names = folderNames(m_dir.path());
    for (const Entry& entry : entries) {
        EXPECT_EQ(names.count(entry.name), entry.kept ? 1u : 0u) << entry.name;
    }
    EXPECT_EQ(readFile(victim), "victim");
}

TEST_F(DurableFileTest, LinkPlantedAtTheTemporaryNameIsNotFollowed) {
    writeFile(m_target, "old");
    const std::string victim = m_dir.file("victim");
    writeFile(victim, "victim");
    const std::string temporary = platform::temporaryPathFor(m_target, "planted0");
    std::filesystem::create_symlink(victim, temporary);

    DurableFile file;
    const Status created = file.create(m_target, {.fixedTag = "planted0"});
    ASSERT_FALSE(created.ok());
    EXPECT_EQ(created.error().code, EEXIST);
    EXPECT_EQ(readFile(victim), "victim");
    EXPECT_EQ(readFile(m_target), "old");
    EXPECT_TRUE(std::filesystem::is_symlink(temporary));
}

TEST_F(DurableFileTest, ModeIsTheCallersNarrowedByTheUmaskUnlessExact) {
    struct Case {
        unsigned mode;
        bool exact;
        mode_t umask;
        unsigned expected;
    };
    const Case cases[] = {
        {0666, false, 022, 0644},
        {0600, false, 022, 0600},
        {0644, true, 077, 0644},
        {0600, true, 0, 0600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode << " umask " << c.umask);
        const mode_t previous = ::umask(c.umask);
        DurableFile file;
        const bool created = file.create(m_target, {.mode = c.mode, .exactMode = c.exact}).ok();
        const bool committed = created && file.commit().ok();
        ::umask(previous);
        ASSERT_TRUE(committed);
        struct stat info {};
        ASSERT_EQ(::stat(m_target.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.expected);
    }
}

TEST_F(DurableFileTest, WriteFailureIsReportedAndKeepsTheOldFile) {
    struct Case {
        const char* name;
        std::size_t size;
        std::size_t piece;
        rlim_t limit;
        bool writeFails;  // else the failure shows at commit
    };
    const Case cases[] = {
        {"buffered bytes fail at commit", 100, 100, 0, false},
        {"a full buffer fails while writing", 600 * 1024, 7000, 64 * 1024, true},
        {"a large block fails while writing", 2 << 20, 2 << 20, 64 * 1024, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(m_target, "old");
        DurableFile file;
        ASSERT_TRUE(file.create(m_target).ok());
        const std::string bytes(c.size, 'n');
        bool written = true;
        Status committed = Done{};
        {
            const FileSizeLimit limit(c.limit);
            for (std::size_t at = 0; written && at < bytes.size(); at += c.piece) {
                written = file.write(std::string_view(bytes).substr(at, c.piece)).ok();
            }
            committed = file.commit();
        }
        EXPECT_EQ(written, !c.writeFails);
        ASSERT_FALSE(committed.ok());
        EXPECT_EQ(committed.error().code, EFBIG);
        EXPECT_EQ(readFile(m_target), "old");
        EXPECT_THAT(folderNames(m_dir.path()), ElementsAre("news.fb2"));
    }
}

TEST_F(DurableFileTest, MissingFolderOrFolderAtTheTargetCannotBeCreated) {
    DurableFile file;
    const Status noFolder = file.create(m_dir.file("gone/news.fb2"));
    ASSERT_FALSE(noFolder.ok());
    EXPECT_EQ(noFolder.error().code, ENOENT);
    std::filesystem::create_directory(m_target);
    const Status folderInTheWay = file.create(m_target);
    ASSERT_FALSE(folderInTheWay.ok());
    EXPECT_EQ(folderInTheWay.error().code, EISDIR);
    EXPECT_FALSE(file.write("x").ok());
    EXPECT_THAT(folderNames(m_dir.path()), ElementsAre("news.fb2"));
}

}  // namespace
}  // namespace quillbox::test
