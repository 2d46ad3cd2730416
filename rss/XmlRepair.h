#pragma once
// Mends the common faults of feeds in the wild before the XML parser sees
// them, on text already decoded to UTF-8.

#include <string>
#include <string_view>

namespace quillbox::rss {

// Returns the document with: leading blanks and the XML declaration removed
// (the text is UTF-8 now, whatever it said); HTML named entities (&nbsp;
// &hellip; ...) turned into character references; unknown entities and bare '&'
// escaped; references to windows-1252 characters (&#150;) and characters XML
// forbids fixed or dropped; a '<' that starts no markup escaped; an unfinished
// CDATA section closed. CDATA sections, comments and the DOCTYPE are copied as
// they are; entities the DOCTYPE declares are left to the parser.
std::string repairXml(std::string_view utf8);

}  // namespace quillbox::rss
