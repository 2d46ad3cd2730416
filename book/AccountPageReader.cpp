#include "book/AccountPageReader.h"

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

enum class EntryState { Finished, Open, Overflow };

class PageReader {
  public:
    PageReader(std::FILE* page, TBookLibrary& library, TMoney& money)
        : m_page(page), m_library(library), m_money(money) {}

    PageReadResult run() {
        while (!pageAtEnd(m_page) && m_window.length() < kWindowLimit) {
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
        while (!pageAtEnd(m_page)) {
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
        setFieldText(m_shelf.Name, valueAtP("Name="));
        m_window.skip();
        // Count is not used, whatever it holds.
        m_window.skip();
        setFieldText(m_shelf.Id, valueAtP("Id="));
        closeEntry(kShelfMarker, 17);
        m_shelf.BookCount = 0;
        m_shelf.Flags = kFlagOnAccount;
        AddShelf(m_library, m_shelf);
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
            setFieldText(book.Author, valueAtP("Author="));
            m_window.skip();
        }
        setFieldText(book.Title, valueAtP("Title="));
        m_window.skip();
        setFieldText(book.Id, valueAtP("Id="));
        m_window.skip();
        setFieldText(book.BookType, valueAtP("BookType="));
        m_window.skip();
        const bool sizeValid = parseSize(valueAtP("Size="), book.Size);
        m_window.skip();
        closeEntry(marker, magazine ? 15 : 12);
        book.Flags = kFlagOnAccount;
        // Books always go to the last shelf; before the first shelf there is
        // none, and the entry is dropped.
        if (sizeValid && m_library.ShelfCount > 0) {
            AddBook(*m_library.Shelves[m_library.ShelfCount - 1], book);
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
        setFieldText(payment.Date, valueAtP("Date="));
        m_window.skip();
        setFieldText(payment.Type, valueAtP("Type="));
        m_window.skip();
        setFieldText(payment.Summ, valueAtP("Summ="));
        closeEntry(kPaymentMarker, 15);
        return true;
    }

    std::FILE* m_page;
    TBookLibrary& m_library;
    TMoney& m_money;
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

PageWindow::PageWindow() {
    m_text[0] = '\0';
}

bool PageWindow::append(std::FILE* page) {
    constexpr int kMostCharacters = kCapacity - 1;
    int length = m_length;
    for (int next = getc_unlocked(page); next != EOF && next != '\n'; next = getc_unlocked(page)) {
        if (next == '\r') {
            continue;
        }
        if (length >= kMostCharacters) {
            m_text[m_length] = '\0';
            return false;
        }
        m_text[length++] = static_cast<char>(next);
    }
    m_length = length;
    m_text[m_length] = '\0';
    return true;
}

int PageWindow::find(std::string_view text, int from) const {
    if (from < 0 || from > m_length) {
        return 0;
    }
    // The text runs to the first zero, which a line may hold before Len.
    const std::string_view window(m_text + from);
    const std::size_t found = window.find(text);
    return found == std::string_view::npos ? 0 : static_cast<int>(found) + 1;
}

std::string_view PageWindow::value(std::string_view key, std::string_view end, int from) const {
    // Empty values still point into the window: a null view is no text to copy.
    const std::string_view empty(m_text, 0);
    const int keyAt = find(key, from);
    const int endAt = find(end, from);
    const int first = keyAt + static_cast<int>(key.size());  // 1-based
    const int count = endAt - first;
    if (count <= 0 || first < 1) {
        return empty;
    }
    const std::string_view window(m_text + from);
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
}

PageReadResult readAccountPage(std::FILE* page, TBookLibrary& library, TMoney& money) {
    PageReader reader(page, library, money);
    return reader.run();
}

}  // namespace quillbox::book
