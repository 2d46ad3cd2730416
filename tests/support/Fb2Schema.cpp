#include "tests/support/Fb2Schema.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlschemas.h>

#include <memory>
#include <set>

namespace quillbox::test {

namespace {

constexpr const char* kSchemaPath = QUILLBOX_TEST_DATA_DIR "/fb2-schema/FictionBook.xsd";
constexpr const char* kXlinkNamespace = "http://www.w3.org/1999/xlink";

void collect(void* context, xmlErrorPtr error) {
    auto* messages = static_cast<std::vector<std::string>*>(context);
    std::string message = error->message != nullptr ? error->message : "unknown error";
    while (!message.empty() && message.back() == '\n') {
        message.pop_back();
    }
    messages->push_back("line " + std::to_string(error->line) + ": " + message);
}

// Parsed once: the schema imports its three companions relative to its own path.
xmlSchemaPtr fictionBookSchema(std::vector<std::string>& messages) {
    static xmlSchemaPtr schema = [] {
        xmlSchemaParserCtxtPtr parser = xmlSchemaNewParserCtxt(kSchemaPath);
        xmlSchemaPtr parsed = parser != nullptr ? xmlSchemaParse(parser) : nullptr;
        xmlSchemaFreeParserCtxt(parser);
        return parsed;
    }();
    if (schema == nullptr) {
        messages.push_back(std::string("cannot parse the schema ") + kSchemaPath);
    }
    return schema;
}

void collectIdsAndLinks(xmlNode* node, std::set<std::string>& ids,
                        std::vector<std::string>& links) {
    for (; node != nullptr; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        if (xmlChar* id = xmlGetNoNsProp(node, reinterpret_cast<const xmlChar*>("id"))) {
            ids.insert(reinterpret_cast<const char*>(id));
            xmlFree(id);
        }
        if (xmlChar* href = xmlGetNsProp(node, reinterpret_cast<const xmlChar*>("href"),
                                         reinterpret_cast<const xmlChar*>(kXlinkNamespace))) {
            links.emplace_back(reinterpret_cast<const char*>(href));
            xmlFree(href);
        }
        collectIdsAndLinks(node->children, ids, links);
    }
}

}  // namespace

std::vector<std::string> validateFb2(const std::string& path) {
    std::vector<std::string> messages;
    xmlSchemaPtr schema = fictionBookSchema(messages);
    if (schema == nullptr) {
        return messages;
    }
    xmlSetStructuredErrorFunc(&messages, &collect);
    const std::unique_ptr<xmlDoc, void (*)(xmlDocPtr)> document(
        xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET), &xmlFreeDoc);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (!document) {
        messages.push_back("not well-formed XML: " + path);
        return messages;
    }
    xmlSchemaValidCtxtPtr validator = xmlSchemaNewValidCtxt(schema);
    xmlSchemaSetValidStructuredErrors(validator, &collect, &messages);
    const int result = xmlSchemaValidateDoc(validator, document.get());
    xmlSchemaFreeValidCtxt(validator);
    if (result != 0 && messages.empty()) {
        messages.push_back("schema validation failed with code " + std::to_string(result));
    }

    std::set<std::string> ids;
    std::vector<std::string> links;
    collectIdsAndLinks(xmlDocGetRootElement(document.get()), ids, links);
    for (const std::string& link : links) {
        if (!link.empty() && link[0] == '#' && ids.count(link.substr(1)) == 0) {
            messages.push_back("link without target: " + link);
        }
    }
    return messages;
}

}  // namespace quillbox::test
