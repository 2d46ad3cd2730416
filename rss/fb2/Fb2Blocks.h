#pragma once
// Block content of an FB2 section as the HTML converter produces it and the
// book writer writes it: paragraphs and subtitles made of styled runs, empty
// lines and pictures, some of them inside a quotation.

#include <string>
#include <vector>

#include "rss/fb2/XmlOut.h"

namespace quillbox::rss::fb2 {

// Inline styles of a run. The writer nests them in the order of the bits,
// always inside a link, which keeps every combination valid FB2.
enum StyleBits : unsigned {
    kStrong = 1U << 0,
    kEmphasis = 1U << 1,
    kStrikethrough = 1U << 2,
    kSub = 1U << 3,
    kSup = 1U << 4,
    kCode = 1U << 5,
};

struct Run {
    std::string text;     // clean UTF-8; empty for a picture
    unsigned styles = 0;  // StyleBits
    int link = -1;        // index into Fb2Content::links, -1 for none
    std::string imageId;  // binary id of an inline picture
};

enum class BlockKind { Paragraph, Subtitle, EmptyLine, Image };

struct Block {
    BlockKind kind = BlockKind::Paragraph;
    std::vector<Run> runs;  // Paragraph and Subtitle
    std::string imageId;    // Image
    bool quoted = false;    // written inside <cite>; never set for Image
};

struct Fb2Content {
    std::vector<Block> blocks;
    std::vector<std::string> links;  // absolute http(s) and mailto addresses
};

// Writes the runs of one paragraph-like element (p, subtitle, title's p),
// opening and closing inline elements as the runs change.
void writeRuns(XmlOut& out, const std::vector<Run>& runs, const std::vector<std::string>& links);

// Writes the blocks in order, grouping consecutive quoted blocks into one <cite>.
// The caller keeps the section valid: its first block must not be an Image.
void writeBlocks(XmlOut& out, const Fb2Content& content);

}  // namespace quillbox::rss::fb2
