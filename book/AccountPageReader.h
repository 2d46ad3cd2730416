#pragma once
// Reading the store's account page into the library. The page is never held
// whole: it is read a block at a time (PageBlocks), its lines go one by one into
// PageWindow, a 1001-character window, and each entry is cut out of the window
// as soon as its closing marker is in. A line, and so a marker, may run over
// the edge of a block: the window joins the pieces.
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

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "book/BookLibrary.h"
#include "common/BookTypes.h"

namespace quillbox::book {

enum class PageReadResult {
    Complete,
    // The window filled up: text before and between entries kept it at 745
    // characters or more, or a line (or an unfinished entry) did not fit. The
    // library and money hold what was read until then.
    WindowOverflow,
};

// Bytes taken from the page file at a time.
inline constexpr std::size_t kPageBlockBytes = std::size_t{64} * 1024;

// Reads the page from its current position to its end, adding every shelf to
// library (flags 2; at most 100), every book and magazine to the library's
// last shelf (flags 2; dropped while there is no shelf, or when Size is not a
// decimal number that fits 32 bits), the balance to money.Balance and up to
// five payments to money.Payments[1..5] with money.PaymentCount. Expects an
// emptied library and a cleared money record. Does not close page, and may
// have read past the point where the reading stopped. blockBytes changes only
// how the file is read, never the result; tests make it small. Shelves past
// the 100th, their books, and books past a shelf's 1000th are left out and
// counted in leftOut when it is given (never hung on another shelf).
PageReadResult readAccountPage(std::FILE* page, TBookLibrary& library, TMoney& money,
                               std::size_t blockBytes = kPageBlockBytes,
                               LeftOut* leftOut = nullptr);

// A page file read a block at a time into a buffer of its own. Does not own
// the file, which must outlive it.
class PageBlocks {
  public:
    // A blockBytes of 0 counts as 1.
    PageBlocks(std::FILE* page, std::size_t blockBytes);

    // The unread bytes of the current block, reading the next block first
    // when these are used up; empty only at the end of the page (or on a
    // read error). Valid until the next call of rest() or take().
    std::string_view rest();
    // Marks the first count bytes of rest() as read. Requires count <= rest().size().
    void take(std::size_t count) { m_begin += count; }
    // Whether the page has no more bytes.
    bool atEnd() { return rest().empty(); }
    // Whether the current block holds a zero byte.
    bool blockHoldsZero() const { return m_blockHoldsZero; }

  private:
    std::FILE* m_page;
    std::size_t m_blockBytes;
    std::unique_ptr<char[]> m_block;
    std::size_t m_begin = 0;  // first unread byte of the block
    std::size_t m_end = 0;    // end of the bytes in the block
    bool m_blockHoldsZero = false;
};

// The text window of the page reader: characters in use (Len), a read
// position (P) and the five window operations. Positions returned by find
// are 1-based, 0 meaning "absent"; offsets (from, P) are 0-based.
class PageWindow {
  public:
    static constexpr int kCapacity = 1001;  // characters, the terminating zero included

    PageWindow();

    // Takes the next line of page (up to LF; every CR is dropped) onto the end
    // of the window. Returns false, leaving the window's text as it was, when
    // the line would make the window hold 1001 characters or more.
    bool append(PageBlocks& page);
    // The same straight from a file, reading nothing past the line's LF.
    bool append(std::FILE* page);

    // 1-based position of text in the window text from offset from up to the
    // terminating zero; 0 when absent or when from lies past Len.
    int find(std::string_view text, int from) const;

    // The characters after key up to the first end mark, both searched from
    // offset from; empty when that count is not positive. A missing key gives
    // the characters from 1-based position length(key) up to the end mark.
    std::string_view value(std::string_view key, std::string_view end, int from) const;
    // The same with the end mark's position already found: endAt is what
    // find(end, from) returned.
    std::string_view valueUpTo(std::string_view key, int endAt, int from) const;

    // P moves just past the next ";" from P; unchanged when there is none.
    void skip();

    // Drops the first P characters (all of them when P lies past Len).
    void cut();

    int length() const { return m_length; }
    int position() const { return m_position; }
    void setPosition(int position) { m_position = position; }
    std::string_view text() const { return std::string_view(m_text, m_length); }

  private:
    // The text the window operations see from offset from (0 <= from <= Len):
    // up to the first zero at or after from.
    std::string_view textFrom(int from) const;
    // Copies the bytes of a line piece but its CRs to offset length, moving
    // length on; false when they would pass the last character.
    bool takePiece(const char* piece, std::size_t size, int& length);

    char m_text[kCapacity];
    int m_length = 0;
    int m_position = 0;
    // False only while the first Len characters hold no zero: then a search
    // needs no measuring of the text.
    bool m_holdsZero = false;
};

// Whether page has no more characters to read; reads nothing past its position.
bool pageAtEnd(std::FILE* page);

}  // namespace quillbox::book
