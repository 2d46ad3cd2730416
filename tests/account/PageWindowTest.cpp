// The window operations of the account page reader, where an off-by-one would
// shift every value of the page.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "book/AccountPageReader.h"
#include "tests/support/TempDir.h"

namespace quillbox::book {
namespace {

class PageWindowTest : public ::testing::Test {
  protected:
    // Opens a page file holding bytes; closed after the test.
    std::FILE* pageOf(const std::string& bytes) {
        quillbox::test::writeFile(folder.file("page"), bytes);
        m_page = std::fopen(folder.file("page").c_str(), "rb");
        EXPECT_NE(m_page, nullptr);
        return m_page;
    }
    ~PageWindowTest() override {
        if (m_page != nullptr) {
            std::fclose(m_page);
        }
    }

    quillbox::test::TempDir folder;
    PageWindow window;

  private:
    std::FILE* m_page = nullptr;
};

TEST_F(PageWindowTest, AppendJoinsLinesDroppingEveryLineBreakAndLoneCarriageReturn) {
    std::FILE* page = pageOf("ab\r\ncd\ne\rf\ngh");
    ASSERT_TRUE(window.append(page));
    ASSERT_TRUE(window.append(page));
    ASSERT_TRUE(window.append(page));
    EXPECT_FALSE(pageAtEnd(page));
    ASSERT_TRUE(window.append(page));
    EXPECT_TRUE(pageAtEnd(page));
    EXPECT_EQ(window.text(), "abcdefgh");
    EXPECT_EQ(window.length(), 8);
}

TEST_F(PageWindowTest, AppendTakesUpTo1000CharactersAndRefusesALineBeyond) {
    std::FILE* page = pageOf(std::string(600, 'a') + "\n" + std::string(400, 'b') + "\nc\n");
    ASSERT_TRUE(window.append(page));
    ASSERT_TRUE(window.append(page));
    EXPECT_EQ(window.length(), 1000);
    EXPECT_FALSE(window.append(page));
    EXPECT_EQ(window.length(), 1000);
    EXPECT_EQ(window.text().back(), 'b');
}

TEST_F(PageWindowTest, FindCountsFromOneAfterTheOffsetAndIsZeroWhenAbsentOrPastTheText) {
    ASSERT_TRUE(window.append(pageOf("xx;Name=Shelf;Id=7;\n")));
    EXPECT_EQ(window.find("Name=", 0), 4);
    EXPECT_EQ(window.find("Name=", 3), 1);
    EXPECT_EQ(window.find("Name=", 4), 0);
    EXPECT_EQ(window.find(";", 19), 0);
    EXPECT_EQ(window.find(";", 25), 0);
}

TEST_F(PageWindowTest, AZeroEndsTheTextSearchedUntilItIsCutOff) {
    ASSERT_TRUE(window.append(pageOf(std::string("ab\0cd;Id=7;\n", 12))));
    EXPECT_EQ(window.length(), 11);
    EXPECT_EQ(window.find("cd", 0), 0);
    EXPECT_EQ(window.find("cd", 3), 1);
    EXPECT_EQ(window.value("Id=", ";", 0), "");
    EXPECT_EQ(window.value("Id=", ";", 6), "7");
    window.setPosition(3);
    window.cut();
    EXPECT_EQ(window.find("cd", 0), 1);
    EXPECT_EQ(window.find(";", 0), 3);
}

TEST_F(PageWindowTest, ValueTakesTheTextBetweenKeyAndFirstEndMark) {
    ASSERT_TRUE(window.append(pageOf("  Name=Shelf one;Id=7;\n")));
    EXPECT_EQ(window.value("Name=", ";", 2), "Shelf one");
    EXPECT_EQ(window.value("Name=", ";", 0), "Shelf one");
    // The end mark is searched from the offset too, not after the key.
    EXPECT_EQ(window.value("Id=", ";", 0), "");
}

TEST_F(PageWindowTest, ValueOfAMissingKeyStartsAtTheKeysLength) {
    ASSERT_TRUE(window.append(pageOf("Some Writer Name;Title=T;\n")));
    // Copy from 1-based position 7 (the length of "Author=") up to the ";".
    EXPECT_EQ(window.value("Author=", ";", 0), "riter Name");
}

TEST_F(PageWindowTest, ValueIsEmptyWithoutTheEndMark) {
    ASSERT_TRUE(window.append(pageOf("Summ=100<!-- Payments--!>\n")));
    EXPECT_EQ(window.value("Summ=", ";", 0), "");
}

TEST_F(PageWindowTest, SkipMovesPastTheNextSemicolonOrStays) {
    ASSERT_TRUE(window.append(pageOf("a;bc;d\n")));
    window.skip();
    EXPECT_EQ(window.position(), 2);
    window.skip();
    EXPECT_EQ(window.position(), 5);
    window.skip();
    EXPECT_EQ(window.position(), 5);
}

TEST_F(PageWindowTest, CutKeepsTheTextFromPAndNeverGoesPastIt) {
    ASSERT_TRUE(window.append(pageOf("head<!-- book --!>tail\n")));
    window.setPosition(17);
    window.cut();
    EXPECT_EQ(window.text(), ">tail");
    window.setPosition(40);
    window.cut();
    EXPECT_EQ(window.length(), 0);
    EXPECT_EQ(window.find("tail", 0), 0);
}

}  // namespace
}  // namespace quillbox::book
