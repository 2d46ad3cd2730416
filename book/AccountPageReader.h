#pragma once
// Reading the store's account page into the library. The page is never held
// whole: it is read line by line into PageWindow, a 1001-character window, and
// each entry is cut out of the window as soon as its closing marker is in.
// Markers and keys of the page:
//
//   shelf     "<!-- BookShelf --!>"  Name=...;Count=...;Id=...;
//   book      "<!-- book --!>"       Author=...;Title=...;Id=...;BookType=...;Size=...;
//   magazine  "<!-- magazin --!>"    Title=...;Id=...;BookType=...;Size=...;
//   balance   "<!-- Balance  --!>"   value=... --!>
//   payment   "<!-- Payments--!>"    (one item);Date=...;Type=...;Summ=...;
//
// Each entry stands between two copies of its marker; an entry may run over
// several lines, whose breaks separate nothing. Texts are windows-1251 bytes
// and are kept as they are, cut to their field's width - 1.

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "common/BookTypes.h"

namespace quillbox::book {

enum class PageReadResult {
    Complete,
    // The window filled up: text before and between entries kept it at 745
    // characters or more, or a line (or an unfinished entry) did not fit. The
    // library and money hold what was read until then.
    WindowOverflow,
};

// Reads the page from its current position to its end, adding every shelf to
// library (flags 2; at most 100), every book and magazine to the library's
// last shelf (flags 2; dropped while there is no shelf, or when Size is not a
// decimal number that fits 32 bits), the balance to money.Balance and up to
// five payments to money.Payments[1..5] with money.PaymentCount. Expects an
// emptied library and a cleared money record. Does not close page.
PageReadResult readAccountPage(std::FILE* page, TBookLibrary& library, TMoney& money);

// The text window of the page reader: characters in use (Len), a read
// position (P) and the five window operations. Positions returned by find
// are 1-based, 0 meaning "absent"; offsets (from, P) are 0-based.
class PageWindow {
  public:
    static constexpr int kCapacity = 1001;  // characters, the terminating zero included

    PageWindow();

    // Reads the next line of page (up to LF; every CR is dropped) onto the end
    // of the window. Returns false, leaving the window's text as it was, when
    // the line would make the window hold 1001 characters or more.
    bool append(std::FILE* page);

    // 1-based position of text in the window text from offset from up to the
    // terminating zero; 0 when absent or when from lies past Len.
    int find(std::string_view text, int from) const;

    // The characters after key up to the first end mark, both searched from
    // offset from; empty when that count is not positive. A missing key gives
    // the characters from 1-based position length(key) up to the end mark.
    std::string_view value(std::string_view key, std::string_view end, int from) const;

    // P moves just past the next ";" from P; unchanged when there is none.
    void skip();

    // Drops the first P characters (all of them when P lies past Len).
    void cut();

    int length() const { return m_length; }
    int position() const { return m_position; }
    void setPosition(int position) { m_position = position; }
    std::string_view text() const { return std::string_view(m_text, m_length); }

  private:
    char m_text[kCapacity];
    int m_length = 0;
    int m_position = 0;
};

// Whether page has no more characters to read.
bool pageAtEnd(std::FILE* page);

}  // namespace quillbox::book
