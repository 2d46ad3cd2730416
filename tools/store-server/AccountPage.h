#pragma once
// The account page the store sends, in windows-1251. It is an ordinary web
// page whose entries are enclosed in pairs of comment-like markers, one item
// of each entry ended by ";" (the balance value by " --!>"):
//
//   <!-- BookShelf --!>  Name=NAME;Count=N;Id=ID;<!-- BookShelf --!>
//   <!-- book --!>  Author=A;Title=T;Id=ID;BookType=.fb2;Size=BYTES;<!-- book --!>
//   <!-- magazin --!>  Title=T;Id=ID;BookType=.pdf;Size=BYTES;<!-- magazin --!>
//   <!-- Balance  --!> <!-- value=TEXT --!><!-- Balance  --!>
//   <!-- Payments--!>N=1;Date=D;Type=T;Summ=S;<!-- Payments--!>
//
// The two characters after the shelf, book and magazine markers and the one
// after the balance marker are padding the reader passes over. Lines end with
// CR LF; books, payments and the balance run over two lines and magazines
// over three, each line break falling between two items. A reader that
// finishes at most one entry of a kind per pass falls behind on one-line
// entries of one kind that follow each other, so only shelves stand on one
// line. The page starts with a head
// of a few hundred bytes of HTML that holds no marker.

#include <cstddef>
#include <string>

#include "tools/store-server/Fixtures.h"

namespace storeserver {

std::string pageHead();
std::string pageTail();
std::string shelfEntry(const ShelfEntry& shelf);
std::string bookEntry(const BookEntry& book);
std::string balanceEntry(const BalanceEntry& balance);
// number counts the payments of the page from 1.
std::string paymentEntry(const PaymentEntry& payment, int number);

// The whole page of an account.
std::string accountPage(const Account& account);

// The answer to a refused login: a short page, well under 128 bytes.
std::string refusedPage();

// Exactly size bytes of page text holding no marker.
std::string fillerPage(std::size_t size);

// A page of shelves x books made up on the fly, produced piece by piece so
// that a page of any size is never held whole.
class GeneratedPage {
  public:
    GeneratedPage(int shelves, int books) : m_shelves(shelves), m_books(books) {}
    // The next piece of the page; empty once the page is complete.
    std::string next();

  private:
    int m_shelves;
    int m_books;
    int m_shelf = 0;  // 0: the head is still to come
    int m_book = 0;
    bool m_done = false;
};

// Line n of a page that never ends (n from 0): the head first, then one shelf,
// then books.
std::string endlessPageLine(std::size_t n);

}  // namespace storeserver
