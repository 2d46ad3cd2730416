#pragma once
// Helpers for the page reader tests: page files in a temporary folder, a
// library that is freed after each test, and pieces of pages.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "book/AccountPageReader.h"
#include "book/BookLibrary.h"
#include "common/BookTypes.h"
#include "common/FixedText.h"
#include "tests/support/TempDir.h"

namespace quillbox::book::test {

class AccountPageTest : public ::testing::Test {
  protected:
    ~AccountPageTest() override { DeleteBookLibrary(library); }

    // Writes bytes as a page file and reads it into library and money.
    PageReadResult readPage(const std::string& bytes) {
        const std::string path = folder.file("page.~file");
        quillbox::test::writeFile(path, bytes);
        std::FILE* page = std::fopen(path.c_str(), "rb");
        EXPECT_NE(page, nullptr);
        if (page == nullptr) {
            return PageReadResult::Complete;
        }
        const PageReadResult result =
            readAccountPage(page, library, money, kPageBlockBytes, &leftOut);
        std::fclose(page);
        return result;
    }

    const TBookShelf& shelf(int n) const { return *library.Shelves[n - 1]; }
    const TBook& book(int shelfNumber, int n) const { return *shelf(shelfNumber).BookList[n - 1]; }

    quillbox::test::TempDir folder;
    TBookLibrary library{};
    LeftOut leftOut;  // what the caps kept out of the last page read
    TMoney money{};
};

// About 300 characters of page head without markers, on several lines.
inline std::string pageHead() {
    return "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n"
           "<html>\r\n<head>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n"
           "<title>Tomeport</title>\r\n"
           "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/bookshelf.css\">\r\n"
           "</head>\r\n<body>\r\n";
}

inline std::string shelfLine(const std::string& name, const std::string& id) {
    return "<!-- BookShelf --!>  Name=" + name + ";Count=1;Id=" + id + ";<!-- BookShelf --!>\r\n";
}

inline std::string bookLines(const std::string& title, const std::string& size = "100") {
    return "<!-- book --!>  Author=A. Author;Title=" + title + ";\r\nId=books/" + title +
           ".fb2;BookType=.fb2;Size=" + size + ";<!-- book --!>\r\n";
}

// A payment over two lines, as the store lays it out.
inline std::string paymentLines(int n) {
    const std::string number = std::to_string(n);
    return "<!-- Payments--!>N=" + number + ";Date=0" + number + ".03.2024;\r\nType=Payment " +
           number + ";Summ=" + number + "00,00;<!-- Payments--!>\r\n";
}

}  // namespace quillbox::book::test
