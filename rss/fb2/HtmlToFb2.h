#pragma once
// An item's text, HTML or plain, turned into FB2 block content.
//
// Block tags (p, div, h1-h6, blockquote, pre, li, tr, section, article, ...)
// and <br> end paragraphs; headings become subtitles and blockquotes citations;
// list items become "• item" or "1. item" paragraphs and table rows one
// paragraph with the cells joined by " | ". b/strong, i/em, s/strike/del,
// sub, sup and code/tt keep their meaning; http(s) and mailto links stay links
// (never nested); a picture stays when the item has it stored. Scripts, styles,
// frames, objects, forms and comments are dropped, whitespace is collapsed and
// empty paragraphs are skipped.

#include <functional>
#include <string>
#include <string_view>

#include "rss/fb2/Fb2Blocks.h"

namespace quillbox::rss::fb2 {

// Binary id of the stored picture at an image address, or "" to leave it out.
using PictureLookup = std::function<std::string(const std::string& address)>;

// Converts `html` with libxml2's HTML parser (no network, errors recovered,
// input cleaned to valid UTF-8 first). Text without any '<' is plain text with
// one paragraph per line. `baseUrl` (the item's address, may be empty)
// resolves relative addresses; `pictures` may be empty, which drops every
// picture. Quoted blocks never hold a block picture.
Fb2Content htmlToFb2(std::string_view html, const std::string& baseUrl,
                     const PictureLookup& pictures);

// `reference` resolved against `base`; empty when it cannot be parsed or is a
// script or data address (isScriptOrDataAddress). The result may still be
// relative when `base` is empty or not absolute.
std::string resolveUrl(std::string_view reference, const std::string& base);

// True when `url`, once every control character and blank (invisible Unicode
// spaces included) is taken out and letters are folded to lower case, begins
// with "javascript:", "vbscript:" or "data:". The one rule for every link and
// picture address of the RSS library: such an address is dropped, never
// resolved into a relative one.
bool isScriptOrDataAddress(std::string_view url);

// True for absolute http:// and https:// addresses, and mailto: when `allowMail`.
bool isWebAddress(std::string_view url, bool allowMail);

}  // namespace quillbox::rss::fb2
