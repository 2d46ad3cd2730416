#include "rss/HtmlContent.h"

#include <libxml/HTMLtree.h>

#include <cctype>

#include "rss/Urls.h"
#include "rss/XmlTree.h"
#include "rss/fb2/HtmlToFb2.h"

namespace quillbox::rss {
namespace {

bool keepAsWritten(std::string_view value) {
    const std::string_view text = trimmed(value);
    if (text.empty() || text[0] == '#') {
        return true;
    }
    std::string start;
    for (const char c : text.substr(0, 7)) {
        start += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return start == "mailto:";
}

// Attributes that hold an address: resolved ones are made absolute; the
// others (lazy-loading pictures) are only judged.
struct AddressAttribute {
    const char* name;
    bool resolved;
};
constexpr AddressAttribute kAddressAttributes[] = {
    {"href", true}, {"src", true}, {"data-src", false}, {"data-lazy-src", false}};

void resolveIn(xmlNode* node, std::string_view base, std::vector<std::string>& images) {
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE) {
            continue;
        }
        for (const AddressAttribute& address : kAddressAttributes) {
            const auto* attribute = reinterpret_cast<const xmlChar*>(address.name);
            xmlChar* value = xmlGetProp(child, attribute);
            if (value == nullptr) {
                continue;
            }
            const std::string text(reinterpret_cast<const char*>(value));
            xmlFree(value);
            if (fb2::isScriptOrDataAddress(text)) {
                // Dropped here, whatever blanks or controls hide the scheme.
                xmlUnsetProp(child, attribute);
                continue;
            }
            if (!address.resolved || keepAsWritten(text)) {
                continue;
            }
            const std::string absolute = resolveUrl(base, text);
            xmlSetProp(child, attribute, reinterpret_cast<const xmlChar*>(absolute.c_str()));
        }
        if (localName(child) == "img") {
            std::string source = attributeOf(child, "src");
            if (source.empty() || keepAsWritten(source)) {
                const std::string lazy = attributeOf(child, "data-src");
                source =
                    lazy.empty() || keepAsWritten(lazy) ? std::string() : resolveUrl(base, lazy);
            }
            if (!source.empty() && isHttpUrl(source)) {
                images.push_back(source);
            }
        }
        resolveIn(child, base, images);
    }
}

xmlNode* bodyOf(xmlDoc* doc) {
    xmlNode* root = xmlDocGetRootElement(doc);
    xmlNode* body = childNamed(root, "body");
    return body != nullptr ? body : root;
}

}  // namespace

ItemHtml absoluteHtml(std::string_view html, std::string_view base) {
    ItemHtml result;
    if (trimmed(html).empty()) {
        return result;
    }
    XmlDocPtr doc = parseHtmlDocument(html);
    xmlNode* body = doc ? bodyOf(doc.get()) : nullptr;
    if (body == nullptr) {
        return result;
    }
    resolveIn(body, base, result.images);
    result.html = childrenAsHtml(body);
    return result;
}

std::string collapseBlanks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            blank = !out.empty();
            continue;
        }
        if (blank) {
            out += ' ';
            blank = false;
        }
        out += c;
    }
    return out;
}

std::string plainTextOfHtml(std::string_view html) {
    if (html.find('<') == std::string_view::npos && html.find('&') == std::string_view::npos) {
        return collapseBlanks(html);
    }
    XmlDocPtr doc = parseHtmlDocument(html);
    xmlNode* body = doc ? bodyOf(doc.get()) : nullptr;
    std::string text = textOf(body);
    // A non-breaking space is a blank too.
    std::string spaced;
    spaced.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
            spaced += ' ';
            ++i;
        } else {
            spaced += text[i];
        }
    }
    return collapseBlanks(spaced);
}

std::string plainTextAsHtml(std::string_view text) {
    std::string out;
    std::size_t start = 0;
    bool first = true;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (!first) {
            out += "<br>";
        }
        appendEscapedHtml(out, text.substr(start, end - start), false);
        first = false;
        start = end + 1;
    }
    return out;
}

std::string decodeBase64(std::string_view text) {
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+' || c == '-') {
            value = 62;
        } else if (c == '/' || c == '_') {
            value = 63;
        } else if (c == '=') {
            break;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            continue;
        } else {
            return {};
        }
        buffer = (buffer << 6) | static_cast<unsigned>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return out;
}

}  // namespace quillbox::rss
