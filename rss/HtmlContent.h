#pragma once
// The HTML text of news items: links made absolute, pictures found, plain text
// taken out for titles.

#include <string>
#include <string_view>
#include <vector>

namespace quillbox::rss {

struct ItemHtml {
    std::string html;                 // the content, every href and src absolute
    std::vector<std::string> images;  // absolute addresses of its <img> pictures, in order
};

// Parses an HTML fragment, resolves href and src against base (links to "#..."
// inside the text stay as they are), removes every address attribute that
// fb2::isScriptOrDataAddress refuses, and writes it back out.
ItemHtml absoluteHtml(std::string_view html, std::string_view base);

// The text of an HTML fragment with entities decoded and blanks collapsed.
std::string plainTextOfHtml(std::string_view html);

// Blanks collapsed to single spaces and trimmed.
std::string collapseBlanks(std::string_view text);

// Plain text as HTML: escaped, line breaks kept as <br>.
std::string plainTextAsHtml(std::string_view text);

// Decodes base64 (blanks ignored); empty on malformed input.
std::string decodeBase64(std::string_view text);

}  // namespace quillbox::rss
