#include "rss/fb2/HtmlTags.h"

#include <unordered_map>

#include "rss/fb2/Fb2Blocks.h"

namespace quillbox::rss::fb2 {

// Void elements the HTML parser does not know (embed, source, track, param,
// wbr) may take the content after them as children, so they stay transparent.
Tag classifyTag(std::string_view name) {
    static const std::unordered_map<std::string_view, Tag> kTags = {
        {"script", Tag::Drop},    {"style", Tag::Drop},       {"iframe", Tag::Drop},
        {"frame", Tag::Drop},     {"frameset", Tag::Drop},    {"object", Tag::Drop},
        {"applet", Tag::Drop},    {"form", Tag::Drop},        {"noscript", Tag::Drop},
        {"template", Tag::Drop},  {"svg", Tag::Drop},         {"math", Tag::Drop},
        {"audio", Tag::Drop},     {"video", Tag::Drop},       {"canvas", Tag::Drop},
        {"button", Tag::Drop},    {"input", Tag::Drop},       {"select", Tag::Drop},
        {"textarea", Tag::Drop},  {"head", Tag::Drop},        {"title", Tag::Drop},
        {"meta", Tag::Drop},      {"link", Tag::Drop},        {"base", Tag::Drop},
        {"map", Tag::Drop},       {"p", Tag::Block},          {"div", Tag::Block},
        {"html", Tag::Block},     {"body", Tag::Block},       {"section", Tag::Block},
        {"article", Tag::Block},  {"header", Tag::Block},     {"footer", Tag::Block},
        {"aside", Tag::Block},    {"nav", Tag::Block},        {"main", Tag::Block},
        {"figure", Tag::Block},   {"figcaption", Tag::Block}, {"address", Tag::Block},
        {"center", Tag::Block},   {"details", Tag::Block},    {"summary", Tag::Block},
        {"dl", Tag::Block},       {"dt", Tag::Block},         {"dd", Tag::Block},
        {"table", Tag::Block},    {"thead", Tag::Block},      {"tbody", Tag::Block},
        {"tfoot", Tag::Block},    {"caption", Tag::Block},    {"fieldset", Tag::Block},
        {"legend", Tag::Block},   {"hgroup", Tag::Block},     {"br", Tag::Break},
        {"hr", Tag::Rule},        {"h1", Tag::Heading},       {"h2", Tag::Heading},
        {"h3", Tag::Heading},     {"h4", Tag::Heading},       {"h5", Tag::Heading},
        {"h6", Tag::Heading},     {"blockquote", Tag::Quote}, {"pre", Tag::Pre},
        {"listing", Tag::Pre},    {"xmp", Tag::Pre},          {"plaintext", Tag::Pre},
        {"ul", Tag::List},        {"menu", Tag::List},        {"dir", Tag::List},
        {"ol", Tag::OrderedList}, {"li", Tag::ListItem},      {"tr", Tag::Row},
        {"td", Tag::Cell},        {"th", Tag::Cell},          {"b", Tag::Strong},
        {"strong", Tag::Strong},  {"i", Tag::Emphasis},       {"em", Tag::Emphasis},
        {"cite", Tag::Emphasis},  {"dfn", Tag::Emphasis},     {"var", Tag::Emphasis},
        {"s", Tag::Strike},       {"strike", Tag::Strike},    {"del", Tag::Strike},
        {"sub", Tag::Sub},        {"sup", Tag::Sup},          {"code", Tag::Code},
        {"tt", Tag::Code},        {"kbd", Tag::Code},         {"samp", Tag::Code},
        {"a", Tag::Link},         {"img", Tag::Image},
    };
    const auto found = kTags.find(name);
    return found == kTags.end() ? Tag::Transparent : found->second;
}

unsigned styleBitOf(Tag tag) {
    switch (tag) {
        case Tag::Strong:
            return kStrong;
        case Tag::Emphasis:
            return kEmphasis;
        case Tag::Strike:
            return kStrikethrough;
        case Tag::Sub:
            return kSub;
        case Tag::Sup:
            return kSup;
        case Tag::Code:
            return kCode;
        default:
            return 0;
    }
}

}  // namespace quillbox::rss::fb2
