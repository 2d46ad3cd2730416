#include "book/AccountPageReader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "book/BookLibrary.h"
#include "common/FixedText.h"

namespace quillbox::book {

namespace {

constexpr std::string_view kShelfMarker = "<!-- BookShelf --!>";
constexpr std::string_view kBookMarker = "<!-- book --!>";
constexpr std::string_view kMagazineMarker = "<!-- magazin --!>";
constexpr std::string_view kBalanceMarker = "<!-- Balance  --!>";
constexpr std::string_view kPaymentMarker = "<!-- Payments--!>";

// Reading goes on while the window holds fewer characters than this.
constexpr int kWindowLimit = 745;

// Size must be a decimal number of 32 bits: digits only, no sign or blanks.
bool parseSize(std::string_view text, std::uint32_t& size) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
    return error == std::errc() && end == text.data() + text.size();
}

// Where needle first stands in text, or npos. The scan is for the needle's
// second byte: for the markers that is the "!" of "<!--", rare on a page whose
// "<" open a tag every few characters.
std::size_t search(std::string_view text, std::string_view needle) {
    if (needle.size() <= 1) {
        return needle.empty() ? 0 : text.find(needle[0]);
    }
    if (needle.size() > text.size()) {
        return std::string_view::npos;
    }
    // A key is mostly searched for from P, where it stands.
    if (text[0] == needle[0] && text[1] == needle[1] &&
        std::memcmp(text.data() + 2, needle.data() + 2, needle.size() - 2) == 0) {
        return 0;
    }
    const char* const begin = text.data();
    const char* const lastSecond = begin + (text.size() - needle.size()) + 1;
    for (const char* at = begin + 1; at <= lastSecond; ++at) {
        at = static_cast<const char*>(
            std::memchr(at, needle[1], static_cast<std::size_t>(lastSecond - at) + 1));
        if (at == nullptr) {
            return std::string_view::npos;
        }
        if (at[-1] == needle[0] && std::memcmp(at + 1, needle.data() + 2, needle.size() - 2) == 0) {
            return static_cast<std::size_t>(at - 1 - begin);
        }
    }
    return std::string_view::npos;
}

enum class EntryState { Finished, Open, Overflow };

class PageReader {
  public:
    PageReader(std::FILE* page, std::size_t blockBytes, TBookLibrary& library, TMoney& money,
               LeftOut& leftOut)
        : m_page(page, blockBytes), m_library(library), m_money(money), m_leftOut(leftOut) {}

    // Everything the checks call is inlined here: the window operations run
    // some twenty times a book, and with their markers and keys known they
    // become direct compares instead of calls.
    [[gnu::flatten]] PageReadResult run() {
        while (!m_page.atEnd() && m_window.length() < kWindowLimit) {
            if (!m_window.append(m_page) || !shelfCheck() || !bookCheck(false) ||
                !bookCheck(true) || !balanceCheck() || !paymentCheck()) {
                return PageReadResult::WindowOverflow;
            }
        }
        return m_window.length() >= kWindowLimit ? PageReadResult::WindowOverflow
                                                 : PageReadResult::Complete;
    }

  private:
    // Appends lines until the closing marker stands at or after P.
    EntryState readToClosingMarker(std::string_view marker) {
        while (!m_page.atEnd()) {
            if (!m_window.append(m_page)) {
                return EntryState::Overflow;
            }
            if (m_window.find(marker, m_window.position()) > 0) {
                return EntryState::Finished;
            }
        }
        return EntryState::Open;
    }

    // Opens the entry of marker if the window holds one: P goes to offset
    // (1-based marker position + start), then lines are read to the closing
    // marker. Returns Open when there is no entry to finish.
    EntryState openEntry(std::string_view marker, int start) {
        const int found = m_window.find(marker, 0);
        if (found == 0) {
            return EntryState::Open;
        }
        m_window.setPosition(found + start);
        return readToClosingMarker(marker);
    }

    std::string_view valueAtP(std::string_view key, std::string_view end = ";") const {
        return m_window.value(key, end, m_window.position());
    }

    // valueAtP(key) and then skip(): both end at the first ";" from P, which
    // is searched for once.
    std::string_view valueAtPThenSkip(std::string_view key) {
        const int p = m_window.position();
        const int semicolon = m_window.find(";", p);
        const std::string_view value = m_window.valueUpTo(key, semicolon, p);
        m_window.setPosition(p + semicolon);
        return value;
    }

    // P goes to the closing marker's 1-based position from P plus tail, then
    // the window is cut there.
    void closeEntry(std::string_view marker, int tail) {
        const int p = m_window.position();
        m_window.setPosition(p + m_window.find(marker, p) + tail);
        m_window.cut();
    }

    bool shelfCheck() {
        const EntryState state = openEntry(kShelfMarker, 20);
        if (state != EntryState::Finished) {
            return state != EntryState::Overflow;
        }
        std::memset(static_cast<void*>(&m_shelf), 0, sizeof(m_shelf));
        setFieldText(m_shelf.Name, valueAtPThenSkip("Name="));
        // Count is not used, whatever it holds.
        m_window.skip();
        setFieldText(m_shelf.Id, valueAtP("Id="));
        closeEntry(kShelfMarker, 17);
        m_shelf.BookCount = 0;
        m_shelf.Flags = kFlagOnAccount;
        // A shelf the library cannot hold is left out with its books, which
        // must not land on the shelf before it.
        m_shelfLeftOut = !AddShelf(m_library, m_shelf);
        if (m_shelfLeftOut) {
            ++m_leftOut.shelves;
        }
        return true;
    }

    bool bookCheck(bool magazine) {
        const std::string_view marker = magazine ? kMagazineMarker : kBookMarker;
        const EntryState state = openEntry(marker, magazine ? 18 : 15);
        if (state != EntryState::Finished) {
            return state != EntryState::Overflow;
        }
        TBook book{};
        if (!magazine) {
            setFieldText(book.Author, valueAtPThenSkip("Author="));
        }
        setFieldText(book.Title, valueAtPThenSkip("Title="));
        setFieldText(book.Id, valueAtPThenSkip("Id="));
        setFieldText(book.BookType, valueAtPThenSkip("BookType="));
        const bool sizeValid = parseSize(valueAtPThenSkip("Size="), book.Size);
        closeEntry(marker, magazine ? 15 : 12);
        book.Flags = kFlagOnAccount;
        // Books always go to the last shelf; before the first shelf there is
        // none, and the entry is dropped.
        if (sizeValid && m_library.ShelfCount > 0 &&
            (m_shelfLeftOut || !AddBook(*m_library.Shelves[m_library.ShelfCount - 1], book))) {
            ++m_leftOut.books;
        }
        return true;
    }

    bool balanceCheck() {
        const EntryState state = openEntry(kBalanceMarker, 18);
        if (state != EntryState::Finished) {
            return state != EntryState::Overflow;
        }
        setFieldText(m_money.Balance, valueAtP("value=", " --!>"));
        closeEntry(kBalanceMarker, 15);
        return true;
    }

    bool paymentCheck() {
        const EntryState state = openEntry(kPaymentMarker, 16);
        if (state != EntryState::Finished) {
            return state != EntryState::Overflow;
        }
        if (m_money.PaymentCount < 0 || m_money.PaymentCount >= kMaxPayments) {
            closeEntry(kPaymentMarker, 15);
            return true;
        }
        TPayment& payment = m_money.Payments[++m_money.PaymentCount];
        m_window.skip();
        setFieldText(payment.Date, valueAtPThenSkip("Date="));
        setFieldText(payment.Type, valueAtPThenSkip("Type="));
        setFieldText(payment.Summ, valueAtP("Summ="));
        closeEntry(kPaymentMarker, 15);
        return true;
    }

    PageBlocks m_page;
    TBookLibrary& m_library;
    TMoney& m_money;
    LeftOut& m_leftOut;
    bool m_shelfLeftOut = false;  // the entries that follow belong to a left-out shelf
    PageWindow m_window;
    TBookShelf m_shelf;
};

}  // namespace

bool pageAtEnd(std::FILE* page) {
    const int next = getc_unlocked(page);
    if (next == EOF) {
        return true;
    }
    ungetc(next, page);
    return false;
}

PageBlocks::PageBlocks(std::FILE* page, std::size_t blockBytes)
    : m_page(page),
      m_blockBytes(std::max<std::size_t>(blockBytes, 1)),
      m_block(new char[m_blockBytes]) {}

std::string_view PageBlocks::rest() {
    if (m_begin == m_end) {
        m_begin = 0;
        m_end = std::fread(m_block.get(), 1, m_blockBytes, m_page);
        m_blockHoldsZero = std::memchr(m_block.get(), '\0', m_end) != nullptr;
    }
    return std::string_view(m_block.get() + m_begin, m_end - m_begin);
}

PageWindow::PageWindow() {
    m_text[0] = '\0';
}

bool PageWindow::takePiece(const char* piece, std::size_t size, int& length) {
    constexpr int kMostCharacters = kCapacity - 1;
    const char* const end = piece + size;
    while (piece < end) {
        const auto* carriageReturn = static_cast<const char*>(
            std::memchr(piece, '\r', static_cast<std::size_t>(end - piece)));
        const char* const stop = carriageReturn != nullptr ? carriageReturn : end;
        const auto count = static_cast<std::size_t>(stop - piece);
        if (count > static_cast<std::size_t>(kMostCharacters - length)) {
            return false;
        }
        std::memcpy(m_text + length, piece, count);
        length += static_cast<int>(count);
        piece = carriageReturn != nullptr ? carriageReturn + 1 : end;
    }
    return true;
}

bool PageWindow::append(PageBlocks& page) {
    int length = m_length;
    // A line may run over several blocks; each piece is taken as it comes.
    for (std::string_view rest = page.rest(); !rest.empty(); rest = page.rest()) {
        const auto* lineEnd = static_cast<const char*>(std::memchr(rest.data(), '\n', rest.size()));
        const std::size_t pieceSize =
            lineEnd != nullptr ? static_cast<std::size_t>(lineEnd - rest.data()) : rest.size();
        const int pieceAt = length;
        if (!takePiece(rest.data(), pieceSize, length)) {
            m_text[m_length] = '\0';
            return false;
        }
        // Pages hold no zeros; a block without one needs no look at its lines.
        if (!m_holdsZero && page.blockHoldsZero()) {
            m_holdsZero = std::memchr(m_text + pieceAt, '\0',
                                      static_cast<std::size_t>(length - pieceAt)) != nullptr;
        }
        page.take(lineEnd != nullptr ? pieceSize + 1 : pieceSize);
        if (lineEnd != nullptr) {
            break;
        }
    }
    m_length = length;
    m_text[m_length] = '\0';
    return true;
}

bool PageWindow::append(std::FILE* page) {
    // Blocks of one byte: the line's LF is the last byte read from the file.
    PageBlocks bytes(page, 1);
    return append(bytes);
}

std::string_view PageWindow::textFrom(int from) const {
    const char* const start = m_text + from;
    auto size = static_cast<std::size_t>(m_length - from);
    // The text runs to the first zero, which a line may hold before Len.
    if (m_holdsZero) {
        const void* zero = std::memchr(start, '\0', size);
        if (zero != nullptr) {
            size = static_cast<std::size_t>(static_cast<const char*>(zero) - start);
        }
    }
    return std::string_view(start, size);
}

int PageWindow::find(std::string_view text, int from) const {
    if (from < 0 || from > m_length) {
        return 0;
    }
    const std::size_t found = search(textFrom(from), text);
    return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

std::string_view PageWindow::value(std::string_view key, std::string_view end, int from) const {
    return valueUpTo(key, find(end, from), from);
}

std::string_view PageWindow::valueUpTo(std::string_view key, int endAt, int from) const {
    // Empty values still point into the window: a null view is no text to copy.
    const std::string_view empty(m_text, 0);  // NOLINT(bugprone-string-constructor): on purpose
    const int keyAt = find(key, from);
    const int first = keyAt + static_cast<int>(key.size());  // 1-based
    const int count = endAt - first;
    if (count <= 0 || first < 1 || from < 0 || from > m_length) {
        return empty;
    }
    const std::string_view window = textFrom(from);
    if (static_cast<std::size_t>(first) > window.size()) {
        return empty;
    }
    return window.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(count));
}

void PageWindow::skip() {
    m_position += find(";", m_position);
}

void PageWindow::cut() {
    if (m_position < 0) {
        m_position = 0;
    }
    if (m_position > m_length) {
        m_position = m_length;
    }
    m_length -= m_position;
    std::memmove(m_text, m_text + m_position, static_cast<std::size_t>(m_length));
    m_text[m_length] = '\0';
    if (m_holdsZero) {
        m_holdsZero = std::memchr(m_text, '\0', static_cast<std::size_t>(m_length)) != nullptr;
    }
}

PageReadResult readAccountPage(std::FILE* page, TBookLibrary& library, TMoney& money,
                               std::size_t blockBytes, LeftOut* leftOut) {
    LeftOut ignored;
    PageReader reader(page, blockBytes, library, money, leftOut != nullptr ? *leftOut : ignored);
    return reader.run();
}

}  // namespace quillbox::book
