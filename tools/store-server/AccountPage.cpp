#include "tools/store-server/AccountPage.h"

#include <variant>

#include "platform/CodePage.h"

namespace storeserver {

namespace {

const char kLineEnd[] = "\r\n";

// The page's own Cyrillic words, in the page's code page.
std::string ansi(const char* utf8) {
    return quillbox::platform::fromUtf8Lossy(utf8, "WINDOWS-1251");
}

}  // namespace

std::string pageHead() {
    std::string head;
    head += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n";
    head += "<html>\r\n<head>\r\n";
    head += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1251\">\r\n";
    head += "<title>Tomeport: " + ansi("книжная полка") + "</title>\r\n";
    head += "<link rel=\"stylesheet\" type=\"text/css\" href=\"/css/bookshelf.css\">\r\n";
    head += "<script type=\"text/javascript\" src=\"/js/bookshelf.js\"></script>\r\n";
    head += "</head>\r\n<body>\r\n<table class=\"bookshelf\">\r\n";
    return head;
}

std::string pageTail() {
    return "</table>\r\n</body>\r\n</html>\r\n";
}

std::string shelfEntry(const ShelfEntry& shelf) {
    return "<tr class=\"shelf\"><td><!-- BookShelf --!>  Name=" + shelf.name +
           ";Count=" + shelf.count + ";Id=" + shelf.id + ";<!-- BookShelf --!></td></tr>" +
           kLineEnd;
}

std::string bookEntry(const BookEntry& book) {
    if (book.magazine) {
        return "<tr><td><!-- magazin --!>  Title=" + book.title + ";" + kLineEnd + "Id=" + book.id +
               ";" + kLineEnd + "BookType=" + book.bookType + ";Size=" + book.size +
               ";<!-- magazin --!></td></tr>" + kLineEnd;
    }
    return "<tr><td><!-- book --!>  Author=" + book.author + ";Title=" + book.title + ";" +
           kLineEnd + "Id=" + book.id + ";BookType=" + book.bookType + ";Size=" + book.size +
           ";<!-- book --!></td></tr>" + kLineEnd;
}

std::string balanceEntry(const BalanceEntry& balance) {
    return "<tr class=\"balance\"><td><!-- Balance  --!> <!-- value=" + balance.value + " --!>" +
           kLineEnd + "<!-- Balance  --!></td></tr>" + kLineEnd;
}

std::string paymentEntry(const PaymentEntry& payment, int number) {
    return "<tr class=\"payment\"><td><!-- Payments--!>N=" + std::to_string(number) +
           ";Date=" + payment.date + ";" + kLineEnd + "Type=" + payment.type +
           ";Summ=" + payment.summ + ";<!-- Payments--!></td></tr>" + kLineEnd;
}

std::string accountPage(const Account& account) {
    std::string page = pageHead();
    int payments = 0;
    for (const AccountEntry& entry : account.entries) {
        if (const auto* shelf = std::get_if<ShelfEntry>(&entry)) {
            page += shelfEntry(*shelf);
        } else if (const auto* book = std::get_if<BookEntry>(&entry)) {
            page += bookEntry(*book);
        } else if (const auto* balance = std::get_if<BalanceEntry>(&entry)) {
            page += balanceEntry(*balance);
        } else if (const auto* payment = std::get_if<PaymentEntry>(&entry)) {
            page += paymentEntry(*payment, ++payments);
        }
    }
    return page + pageTail();
}

std::string refusedPage() {
    return "<html><head><title>Tomeport</title></head><body>Access denied</body></html>\r\n";
}

std::string fillerPage(std::size_t size) {
    static const std::string line = "<p class=\"news\">Tomeport</p>\r\n";
    std::string page;
    page.reserve(size + line.size());
    while (page.size() < size) {
        page += line;
    }
    page.resize(size);
    return page;
}

std::string GeneratedPage::next() {
    if (m_done) {
        return {};
    }
    if (m_shelf == 0) {
        m_shelf = 1;
        return pageHead();
    }
    if (m_shelf > m_shelves) {
        m_done = true;
        return balanceEntry({"1000.00"}) + paymentEntry({"01.01.2024", "Generated", "1000.00"}, 1) +
               pageTail();
    }
    std::string piece;
    if (m_book == 0) {
        piece += shelfEntry({std::to_string(m_shelf), ansi("Полка ") + std::to_string(m_shelf),
                             std::to_string(m_books)});
    }
    // About 8 KiB at a time.
    for (int batch = 0; batch < 64 && m_book < m_books; ++batch) {
        ++m_book;
        BookEntry book;
        book.author = ansi("Автор ") + std::to_string(m_book);
        book.title = ansi("Книга ") + std::to_string(m_shelf) + "-" + std::to_string(m_book);
        book.id = "gen/" + std::to_string(m_shelf) + "/" + std::to_string(m_book) + ".fb2";
        book.bookType = ".fb2";
        book.size = std::to_string(1000 + m_book);
        piece += bookEntry(book);
    }
    if (m_book >= m_books) {
        m_book = 0;
        ++m_shelf;
    }
    return piece;
}

std::string endlessPageLine(std::size_t n) {
    if (n == 0) {
        return pageHead();
    }
    if (n == 1) {
        return shelfEntry({"1", ansi("Бесконечная полка"), "0"});
    }
    BookEntry book;
    book.author = ansi("Автор");
    book.title = ansi("Книга ") + std::to_string(n);
    book.id = "endless/" + std::to_string(n) + ".fb2";
    book.bookType = ".fb2";
    book.size = "1000";
    return bookEntry(book);
}

}  // namespace storeserver
