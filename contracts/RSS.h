#pragma once
// The C interface of the RSS library (dll/libRSS.so): the feed list, fetching
// feeds, turning the news that has not yet reached the reader into one FB2
// book, and recording that a book was delivered.
//
// Threads: call only from the window's thread; while the network waits, the
// library processes the application's messages on that thread. The list's
// entries are allocated and freed by the library; every other record and buffer
// is the caller's. Folders and paths may use '\' or '/' and drive letters; the
// library maps them to the system's paths. No call throws: each answers with
// one of the result bytes below.

#include <cstdint>

#include "common/HostObjects.h"
#include "common/RSSTypes.h"
#include "common/SystemTypes.h"
#include "contracts/Export.h"

// Result of the network and conversion functions on success.
inline constexpr std::uint8_t kRssOk = 255;
// LoadRSSNewsFromURL: the host could not be reached (name, refused, time-out,
// proxy); an update run stops at this result.
inline constexpr std::uint8_t kRssHostUnreachable = 3;
// LoadRSSNewsFromURL: the server answered without a usable document (error
// status, empty, too large).
inline constexpr std::uint8_t kRssNoDocument = 4;
// LoadRSSNewsFromURL: the document is not a feed the library can read (also a
// feed whose declared entities loop or expand beyond the library's limit).
inline constexpr std::uint8_t kRssNotAFeed = 9;
// List functions: the position lies outside the list, or the list is full.
inline constexpr std::uint8_t kRssRefused = 1;
// File functions: the file could not be read or written; the list loaded only
// what could be read (load) or the file was left as it was (save).
inline constexpr std::uint8_t kRssFileError = 2;

// Replaces the list's entries by the feeds stored in folder + name (missing file:
// empty list) and returns kRssOk. A damaged file loads every feed that can still
// be read and gives kRssFileError, as does a null list or name. The last two
// arguments are unused. The library owns the entries.
QUILLBOX_EXPORT std::uint8_t LoadRSSListFromFile(const char* folder, const char* name,
                                                 TRSSList* list, std::uint8_t unused1,
                                                 std::uint8_t unused2);

// Writes the list to path, replacing the file atomically. A file there that cannot
// be read completely is first kept beside it as path + ".damaged" (numbered when
// taken), so no feed is lost to a bad load. Returns kRssOk, or kRssFileError
// (also for a null list or an empty path). The last argument is unused.
QUILLBOX_EXPORT std::uint8_t SaveRSSListToFile(const char* path, TRSSList* list,
                                               std::uint8_t unused);

// Frees every entry; Count becomes 0. Returns kRssOk (kRssRefused for a null list).
QUILLBOX_EXPORT std::uint8_t DeleteRSSList(TRSSList* list);

// Inserts a copy of entry as feed number position (1-based; Count + 1 appends).
// Returns kRssOk; refuses (kRssRefused, nothing changed) a full list, a position
// out of range or a null argument.
QUILLBOX_EXPORT std::uint8_t AddToRSSList(std::uint16_t position, const TRSSItem* entry,
                                          TRSSList* list);

// Removes feed number position (1-based); later feeds move up one slot.
// Returns kRssOk; refuses (kRssRefused) a position out of range or a null list.
QUILLBOX_EXPORT std::uint8_t DeleteFromRSSList(std::uint16_t position, TRSSList* list);

// Fetches the feed at entry->URL and keeps its news under folder; fills
// entry->Title (system ANSI code page) in place. userData gives the proxy and the
// pictures switch; application (may be null) is pumped while the network waits;
// browser and the last argument are unused. Returns kRssOk (also when the feed
// is unchanged since the last fetch), kRssHostUnreachable, kRssNoDocument (also
// for a null entry) or kRssNotAFeed. An address that answers with an HTML page
// declaring a feed (<link rel="alternate" type="application/rss+xml" or
// atom+xml>) is followed once to the first declared feed (http or https only);
// entry->URL stays as it was. A failure leaves the news kept so far as
// it was; the next book lists the feed among those that could not be updated.
// When entry is one of a list this library keeps, the feeds after it in the
// list are fetched ahead, so that the next calls wait less; each call still
// gives its own feed's result, as if fetched alone. A stop the application
// asks for (TApplication::Cancelled) ends every transfer and gives
// kRssHostUnreachable with the feed's news left as it was.
QUILLBOX_EXPORT std::uint8_t LoadRSSNewsFromURL(TRSSItem* entry, const char* folder,
                                                TUserData* userData, TApplication* application,
                                                TWebBrowser* browser, std::uint8_t unused);

// Writes the news of the list's feeds that has not yet been delivered into one
// new FB2 file in fb2Folder and its bare name into buffer (501 bytes, caller's).
// Returns kRssOk when a book was written; kRssRefused when there is no news (no
// file, buffer untouched) or list is null; kRssFileError when the book could not
// be written.
QUILLBOX_EXPORT std::uint8_t ConvertRSSListToFb2(TRSSList* list, const char* rssFolder,
                                                 const char* fb2Folder, char* buffer);

// Records that the book bookName (the bare name ConvertRSSListToFb2 gave) reached
// the reader: its news stays out of every later book. Until this is called, each
// conversion includes that news again. Returns kRssOk, kRssRefused for a name the
// library did not write (or already marked), kRssFileError when the store could
// not be written.
QUILLBOX_EXPORT std::uint8_t MarkRSSNewsDelivered(const char* rssFolder, const char* bookName);

// Reads the OPML file (1.0 or 2.0, any encoding the XML parser knows, no
// external entities or DTDs fetched, entities not expanded) at path and adds
// each outline with an xmlUrl (at any depth, with type "rss", "atom" or none)
// to the end of the list, in document order, exactly as AddToRSSList would:
// the address converted to the system code page, its bytes compared with every
// entry for duplicates, at most 250 bytes; the outline's title (or text) becomes
// the entry's Title, cut to fit. Stops adding at kMaxFeeds; the rest count as
// beyond the limit. Fills *report. Returns kRssOk (also when nothing was new),
// kRssNotAFeed when the file is not OPML (nothing added), kRssFileError when it
// cannot be read or is over 16 MiB, kRssRefused for a null argument.
QUILLBOX_EXPORT std::uint8_t ImportOPMLToRSSList(const char* path, TRSSList* list,
                                                 TOPMLReport* report);

// Writes the list as OPML 2.0 in UTF-8 to path, replacing the file only with a
// complete one: one outline per entry, type "rss", text and title from the
// entry's Title (the address when it has none), xmlUrl the address. Returns
// kRssOk, kRssFileError when it cannot be written (the old file stays), or
// kRssRefused for a null argument.
QUILLBOX_EXPORT std::uint8_t ExportRSSListToOPML(const TRSSList* list, const char* path);
