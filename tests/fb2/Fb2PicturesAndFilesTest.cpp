// Pictures embedded as binaries, and the book file replaced all at once.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "rss/fb2/Fb2Writer.h"
#include "tests/fb2/Fb2TestBook.h"
#include "tests/support/Fb2Schema.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {
namespace {

using rss::StoredImage;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;

constexpr const char* kItem = "/f:FictionBook/f:body/f:section[1]/f:section[1]";

std::string decodeBase64(const std::string& text) {
    std::string bytes;
    unsigned value = 0;
    int bits = 0;
    for (const char c : text) {
        int digit = -1;
        if (c >= 'A' && c <= 'Z') {
            digit = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            digit = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            digit = c - '0' + 52;
        } else if (c == '+') {
            digit = 62;
        } else if (c == '/') {
            digit = 63;
        }
        if (digit < 0) {
            continue;
        }
        value = (value << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<char>((value >> bits) & 0xFF));
        }
    }
    return bytes;
}

class Fb2PicturesTest : public ::testing::Test {
  protected:
    Fb2PicturesTest() {
        // Larger than one read chunk, so the base64 runs over several pieces.
        std::string big = jpegBytes();
        for (int i = 0; big.size() < 100000; ++i) {
            big.push_back(static_cast<char>((i * 7919) % 251));
        }
        writeFile(m_dir.file("photo.jpg"), big);
        writeFile(m_dir.file("real-png.jpg"), pngBytes());
        writeFile(m_dir.file("anim.gif"), gifBytes());
        writeFile(m_dir.file("enclosure.bin"), jpegBytes());
    }

    std::vector<StoredImage> images() const {
        return {
            {"https://img.example/photo.jpg", m_dir.file("photo.jpg"), "image/jpeg"},
            {"https://img.example/png.jpg", m_dir.file("real-png.jpg"), "image/jpeg"},
            {"https://img.example/anim.gif", m_dir.file("anim.gif"), "image/gif"},
            {"https://img.example/missing.jpg", m_dir.file("missing.jpg"), "image/jpeg"},
            {"https://img.example/enclosure", m_dir.file("enclosure.bin"), "image/jpeg"},
        };
    }

    rss::NewsBook book() const {
        rss::NewsBook news = bookWithItem(
            "<p>Text</p><img src=\"https://img.example/photo.jpg\">"
            "<p><img src=\"https://img.example/png.jpg\" alt=\"x\"> inline?</p>"
            "<img src=\"https://img.example/anim.gif\"><img "
            "src=\"https://img.example/unstored.jpg\">"
            "<img src=\"https://img.example/missing.jpg\">"
            "<blockquote>Look <img src=\"/photo.jpg\"></blockquote>",
            "https://img.example/news/1", images());
        rss::NewsItem second;
        second.title = "Second";
        second.contentHtml =
            "<table><tr><td><img src=\"https://img.example/photo.jpg\"></td>"
            "<td>cell</td></tr></table>";
        second.images = {images()[0]};
        news.feeds[0].items.push_back(second);
        return news;
    }

    std::map<std::string, std::string> contentTypes(const Fb2Document& book) const {
        std::map<std::string, std::string> types;
        const auto ids = book.texts("/f:FictionBook/f:binary/@id");
        const auto kinds = book.texts("/f:FictionBook/f:binary/@content-type");
        for (std::size_t i = 0; i < ids.size() && i < kinds.size(); ++i) {
            types[ids[i]] = kinds[i];
        }
        return types;
    }

    TempDir m_dir;
    std::string m_path = m_dir.file("book.fb2");
};

TEST_F(Fb2PicturesTest, OnlyJpegAndPngBytesAreEmbeddedAndEveryReferenceHasItsBinary) {
    writeValidBook(book(), m_path);
    const Fb2Document fb2(m_path);
    // photo, the PNG named .jpg and the enclosure; the GIF and the missing,
    // unstored pictures are left out.
    std::map<std::string, std::string> types = contentTypes(fb2);
    ASSERT_EQ(types.size(), 3U);
    std::map<std::string, std::string> typeByBytes;
    for (const auto& [id, type] : types) {
        const std::string bytes =
            decodeBase64(fb2.text("/f:FictionBook/f:binary[@id='" + id + "']"));
        const std::string name = bytes == readFile(m_dir.file("photo.jpg"))       ? "photo"
                                 : bytes == readFile(m_dir.file("real-png.jpg"))  ? "png"
                                 : bytes == readFile(m_dir.file("enclosure.bin")) ? "enclosure"
                                                                                  : "unknown";
        typeByBytes[name] = type;
    }
    EXPECT_THAT(
        typeByBytes,
        UnorderedElementsAre(std::pair<const std::string, std::string>("photo", "image/jpeg"),
                             std::pair<const std::string, std::string>("png", "image/png"),
                             std::pair<const std::string, std::string>("enclosure", "image/jpeg")));
    // The enclosure leads the text; a section never starts with a picture.
    EXPECT_THAT(fb2.names(std::string(kItem) + "/*"),
                ElementsAre("title", "empty-line", "image", "p", "image", "image", "p", "cite"));
    EXPECT_EQ(fb2.count(std::string(kItem) + "/f:cite/f:p/f:image"), 1);
    // The second item shows the same picture inline in its table row.
    EXPECT_EQ(fb2.count("/f:FictionBook/f:body/f:section[1]/f:section[2]/f:p/f:image"), 1);
    EXPECT_EQ(fb2.count("//f:image"), 5);
}

TEST_F(Fb2PicturesTest, PicturesOffOrTooLargeAreLeftOut) {
    rss::Fb2Options options = textOnlyOptions();
    options.includeImages = false;
    writeValidBook(book(), m_path, options);
    EXPECT_EQ(Fb2Document(m_path).count("//f:binary | //f:image"), 0);

    options.includeImages = true;
    options.maxImageBytes = 1000;
    writeValidBook(book(), m_path, options);
    const Fb2Document fb2(m_path);
    EXPECT_EQ(fb2.count("//f:binary"), 2);
    EXPECT_THAT(fb2.texts("//f:binary/@content-type"),
                UnorderedElementsAre("image/png", "image/jpeg"));
}

std::vector<std::string> folderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

class Fb2FileTest : public ::testing::Test {
  protected:
    TempDir m_dir;
    std::string m_path = m_dir.file("news.fb2");
};

TEST_F(Fb2FileTest, MissingFolderIsAnErrorAndLeavesNothing) {
    const std::string path = m_dir.file("no-such-folder/news.fb2");
    const Status written = rss::writeNewsBook(bookWithItem("<p>x</p>"), path);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().code, rss::kFb2CannotCreate);
    EXPECT_FALSE(fileExists(path));
    EXPECT_FALSE(fileExists(m_dir.file("no-such-folder")));
}

TEST_F(Fb2FileTest, FolderInPlaceOfTheBookIsACreateErrorAndStays) {
    ASSERT_EQ(::mkdir(m_path.c_str(), 0755), 0);
    const Status written = rss::writeNewsBook(bookWithItem("<p>x</p>"), m_path);
    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().code, rss::kFb2CannotCreate);
    struct stat info {};
    ASSERT_EQ(::stat(m_path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_THAT(folderNames(m_dir.path()), ElementsAre("news.fb2"));
}

TEST_F(Fb2FileTest, NewBookReplacesTheOldOneWithoutLeftovers) {
    writeFile(m_path, "old book");
    // A temporary file of an interrupted run: its process has ended.
    const pid_t gone = ::fork();
    if (gone == 0) {
        ::_exit(0);
    }
    ASSERT_GT(gone, 0);
    ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
    writeFile(m_dir.file(".news.fb2." + std::to_string(gone) + ".abcd1234.qbtmp"), "stale");
    writeValidBook(bookWithItem("<p>fresh</p>"), m_path);
    EXPECT_EQ(Fb2Document(m_path).text(std::string(kItem) + "/f:p"), "fresh");
    EXPECT_THAT(folderNames(m_dir.path()), ElementsAre("news.fb2"));
}

TEST_F(Fb2FileTest, WriteFailurePartWayKeepsTheOldBookAndRemovesTheTemporaryFile) {
    writeFile(m_path, "old book");
    std::string html;
    for (int i = 0; i < 2000; ++i) {
        html += "<p>Paragraph " + std::to_string(i) + " of a long item.</p>";
    }
    // A file size limit stands in for a full disk: writes past it fail.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(::sigaction(SIGXFSZ, &ignore, &previous), 0);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 16 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status written = rss::writeNewsBook(bookWithItem(html), m_path);
    ::setrlimit(RLIMIT_FSIZE, &old);
    ::sigaction(SIGXFSZ, &previous, nullptr);

    ASSERT_FALSE(written.ok());
    EXPECT_EQ(written.error().code, rss::kFb2WriteFailed);
    EXPECT_EQ(readFile(m_path), "old book");
    EXPECT_THAT(folderNames(m_dir.path()), ElementsAre("news.fb2"));
}

}  // namespace
}  // namespace quillbox::test
