#pragma once
// How the HTML converter treats each element, by its lower-case name.

#include <string_view>

namespace quillbox::rss::fb2 {

enum class Tag : unsigned char {
    Transparent,  // only its content counts (span, font, unknown elements)
    Drop,         // left out with everything inside (script, style, iframe, ...)
    Block,        // ends the paragraph before and after (p, div, section, ...)
    Break,        // br
    Rule,         // hr
    Heading,      // h1-h6
    Quote,        // blockquote
    Pre,          // pre and its old relatives
    List,         // ul, menu, dir
    OrderedList,  // ol
    ListItem,     // li
    Row,          // tr
    Cell,         // td, th
    Strong,
    Emphasis,
    Strike,
    Sub,
    Sup,
    Code,
    Link,   // a
    Image,  // img
};

Tag classifyTag(std::string_view name);

// The StyleBits value an inline tag adds; 0 for the others.
unsigned styleBitOf(Tag tag);

}  // namespace quillbox::rss::fb2
