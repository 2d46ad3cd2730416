#pragma once
// The book library records shared by the program and the Book library. The
// shelf record (first 116 bytes of a shelf), the book record and the money
// record are written byte for byte to the library files, so their layout,
// padding included, is a file format. TBookLibrary and BookList are in-memory
// only and hold 8-byte pointers here.

#include <cstddef>
#include <cstdint>

static_assert(sizeof(bool) == 1, "records rely on one-byte bool");

// Flags of shelves and books.
inline constexpr std::uint16_t kFlagOnAccount = 2;
inline constexpr std::uint16_t kFlagOnComputer = 4;
inline constexpr std::uint16_t kFlagOnReader = 8;

inline constexpr std::uint16_t kMaxShelves = 100;
inline constexpr std::uint16_t kMaxBooksPerShelf = 1000;
inline constexpr int kMaxPayments = 5;

struct TBook {
    char Author[101];    // empty for a magazine
    char Title[101];     // also the book's file name without its suffix
    char Id[51];         // the book's path below the store's root
    char BookType[11];   // file-name suffix
    std::uint32_t Size;  // bytes
    char ShelfId[11];
    char ShelfName[101];  // also the sub-folder the book is downloaded into
    std::uint16_t Flags;
    std::uint8_t Padding[2];
};

static_assert(sizeof(TBook) == 384);
static_assert(offsetof(TBook, Author) == 0);
static_assert(offsetof(TBook, Title) == 101);
static_assert(offsetof(TBook, Id) == 202);
static_assert(offsetof(TBook, BookType) == 253);
static_assert(offsetof(TBook, Size) == 264);
static_assert(offsetof(TBook, ShelfId) == 268);
static_assert(offsetof(TBook, ShelfName) == 279);
static_assert(offsetof(TBook, Flags) == 380);

// Size of the shelf record as it is stored: everything before BookList.
inline constexpr std::size_t kBookShelfRecordSize = 116;

struct TBookShelf {
    char Name[101];
    char Id[11];
    std::uint16_t BookCount;  // 0..1000
    std::uint16_t Flags;
    TBook* BookList[kMaxBooksPerShelf];  // in memory only: book n is entry n - 1
};

static_assert(offsetof(TBookShelf, Name) == 0);
static_assert(offsetof(TBookShelf, Id) == 101);
static_assert(offsetof(TBookShelf, BookCount) == 112);
static_assert(offsetof(TBookShelf, Flags) == 114);
static_assert(offsetof(TBookShelf, Flags) + sizeof(std::uint16_t) == kBookShelfRecordSize);
static_assert(offsetof(TBookShelf, BookList) % alignof(TBook*) == 0);
static_assert(sizeof(void*) != 4 || offsetof(TBookShelf, BookList) == 116);
static_assert(sizeof(void*) != 8 || offsetof(TBookShelf, BookList) == 120);

struct TBookLibrary {
    TBookShelf* Shelves[kMaxShelves];  // shelf n is entry n - 1
    std::uint16_t ShelfCount;          // 0..100
};

static_assert(offsetof(TBookLibrary, Shelves) == 0);
static_assert(offsetof(TBookLibrary, ShelfCount) == kMaxShelves * sizeof(void*));

struct TPayment {
    char Date[21];
    char Type[256];
    char Summ[21];
};

static_assert(sizeof(TPayment) == 298);
static_assert(offsetof(TPayment, Type) == 21);
static_assert(offsetof(TPayment, Summ) == 277);

struct TMoney {
    char Balance[21];
    TPayment Payments[kMaxPayments + 1];  // slot 0 is never used
    std::uint8_t Padding[3];
    std::int32_t PaymentCount;  // 0..5
};

static_assert(sizeof(TMoney) == 1816);
static_assert(offsetof(TMoney, Balance) == 0);
static_assert(offsetof(TMoney, Payments) == 21);
static_assert(offsetof(TMoney, Payments) + 1 * sizeof(TPayment) == 319);
static_assert(offsetof(TMoney, Payments) + 5 * sizeof(TPayment) == 1511);
static_assert(offsetof(TMoney, PaymentCount) == 1812);
