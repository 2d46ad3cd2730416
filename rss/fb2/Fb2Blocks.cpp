#include "rss/fb2/Fb2Blocks.h"

#include <array>

namespace quillbox::rss::fb2 {

namespace {

constexpr std::array<const char*, 6> kStyleElements = {
    "strong", "emphasis", "strikethrough", "sub", "sup", "code",
};

// One open inline element: a link (style < 0, with its index) or a style bit.
struct Open {
    int style = -1;
    int link = -1;
    bool operator==(const Open&) const = default;
};

std::vector<Open> wantedFor(unsigned styles, int link) {
    std::vector<Open> wanted;
    if (link >= 0) {
        wanted.push_back(Open{-1, link});
    }
    for (int bit = 0; bit < static_cast<int>(kStyleElements.size()); ++bit) {
        if ((styles & (1U << bit)) != 0) {
            wanted.push_back(Open{bit, -1});
        }
    }
    return wanted;
}

void writeImage(XmlOut& out, const std::string& id) {
    out.startElement("image");
    out.attribute("l:href", "#" + id);
    out.endElement();
}

}  // namespace

void writeRuns(XmlOut& out, const std::vector<Run>& runs, const std::vector<std::string>& links) {
    std::vector<Open> open;
    for (const Run& run : runs) {
        const int link = run.link < static_cast<int>(links.size()) ? run.link : -1;
        const std::vector<Open> wanted = wantedFor(run.styles, link);
        std::size_t common = 0;
        while (common < open.size() && common < wanted.size() && open[common] == wanted[common]) {
            ++common;
        }
        while (open.size() > common) {
            out.endElement();
            open.pop_back();
        }
        for (std::size_t i = common; i < wanted.size(); ++i) {
            if (wanted[i].style < 0) {
                out.startElement("a");
                out.attribute("l:href", links[static_cast<std::size_t>(wanted[i].link)]);
            } else {
                out.startElement(kStyleElements[static_cast<std::size_t>(wanted[i].style)]);
            }
            open.push_back(wanted[i]);
        }
        if (!run.imageId.empty()) {
            writeImage(out, run.imageId);
        } else {
            out.text(run.text);
        }
    }
    while (!open.empty()) {
        out.endElement();
        open.pop_back();
    }
}

void writeBlocks(XmlOut& out, const Fb2Content& content) {
    bool inCite = false;
    for (const Block& block : content.blocks) {
        const bool quoted = block.quoted && block.kind != BlockKind::Image;
        if (quoted != inCite) {
            if (inCite) {
                out.endElement();
                out.newline();
            } else {
                out.startElement("cite");
            }
            inCite = quoted;
        }
        switch (block.kind) {
            case BlockKind::Paragraph:
            case BlockKind::Subtitle:
                out.startElement(block.kind == BlockKind::Paragraph ? "p" : "subtitle");
                writeRuns(out, block.runs, content.links);
                out.endElement();
                break;
            case BlockKind::EmptyLine:
                out.startElement("empty-line");
                out.endElement();
                break;
            case BlockKind::Image:
                writeImage(out, block.imageId);
                break;
        }
        out.newline();
    }
    if (inCite) {
        out.endElement();
        out.newline();
    }
}

}  // namespace quillbox::rss::fb2
