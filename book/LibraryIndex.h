#pragma once
// Hash lookups over the library in memory while the files are merged into it:
// shelf by Id, and book by Id within a shelf. Each lookup finds the first
// shelf or book that is the same, as a scan from the start would. Every shelf
// and book added during the merge must go through this index, which also
// counts what the caps of the library kept out.

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "book/BookLibrary.h"
#include "common/BookTypes.h"

namespace quillbox::book {

class LibraryIndex {
  public:
    // Indexes the shelves the library already holds; their books are indexed
    // when first looked up.
    explicit LibraryIndex(TBookLibrary& library);

    // The first shelf whose Id equals id over all 11 bytes, or nullptr.
    TBookShelf* findShelf(const char (&id)[11]);
    // The shelf a book record belongs to: the first shelf whose Id equals the
    // record's ShelfId, else the last shelf; nullptr when there is none. A
    // record of a shelf that the cap kept out gets nullptr too, and counts as
    // a book left out (it must not land on another shelf).
    TBookShelf* shelfForBook(const TBook& record);
    // The first book of the shelf whose Id equals id over all 51 bytes, or nullptr.
    TBook* findBook(TBookShelf& shelf, const char (&id)[51]);

    // AddShelf / AddBook that keep the index up to date. A shelf or book that
    // does not fit under the cap is counted as left out, once per Id.
    bool addShelf(const TBookShelf& record);
    bool addBook(TBookShelf& shelf, TBook& record);

    // The distinct shelves and books left out so far.
    LeftOut leftOut() const { return {m_shelvesLeftOut.size(), m_booksLeftOut.size()}; }

  private:
    using IdMap = std::unordered_map<std::string_view, std::size_t>;

    IdMap& booksOf(TBookShelf& shelf);

    TBookLibrary& m_library;
    IdMap m_shelves;                                       // Id -> shelf position
    std::unordered_map<const TBookShelf*, IdMap> m_books;  // per shelf: Id -> book position
    std::unordered_set<std::string> m_shelvesLeftOut;      // shelf Ids
    std::unordered_set<std::string> m_booksLeftOut;        // shelf Id + book Id
};

}  // namespace quillbox::book
