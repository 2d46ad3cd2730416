#pragma once
// Lays text out into FB2 blocks as the HTML converter walks the document:
// collapses whitespace, ends paragraphs at block boundaries, keeps the lines of
// preformatted text, puts list markers and table cell separators in place and
// skips paragraphs that show nothing.

#include <string>
#include <string_view>

#include "rss/fb2/Fb2Blocks.h"

namespace quillbox::rss::fb2 {

// Where the text being added stands; the converter keeps it up to date as it
// enters and leaves elements.
struct TextContext {
    unsigned styles = 0;  // StyleBits of the enclosing inline elements
    int link = -1;        // index of the enclosing link, -1 for none
    int headingDepth = 0;
    int quoteDepth = 0;
    int preDepth = 0;
    int cellDepth = 0;
};

class BlockBuilder {
  public:
    TextContext& context() { return m_context; }

    // Text of a text node: whitespace collapsed, or line by line inside pre.
    void addText(std::string_view text);
    // A picture by its binary id: a block of its own where the section allows
    // one, otherwise inline (quotations, subtitles, table rows).
    void addPicture(const std::string& id);
    // Ends the paragraph; inside a table cell only separates words.
    void blockBoundary();
    // <br>: a paragraph end, or a line end inside pre.
    void lineBreak();
    // <hr>: an empty line between paragraphs.
    void rule();
    // Called when a pre element opens (after the context counts it) and closes.
    void startPreformatted();
    void endPreformatted();
    // Marker ("• ", "2. ") put before the next paragraph's first text.
    void setListMarker(std::string marker);
    void clearListMarker();
    // A table row starts; a cell starts (`hasCellBefore`: not the row's first).
    void startRow();
    void startCell(bool hasCellBefore);
    // Registers an absolute link address; returns its index for TextContext::link.
    int addLink(std::string url);

    // Ends the last paragraph and hands over everything built.
    Fb2Content take();

  private:
    void addCollapsed(std::string_view text);
    void addPreformatted(std::string_view text);
    void endPreformattedLine();
    void append(char32_t c, bool visible);
    void appendRunStart();
    void appendSeparator();
    void appendPlain(std::string_view text);
    unsigned currentStyles() const;
    Run& currentRun();
    void softSpace();
    void flush();
    void appendEmptyLine();

    TextContext m_context;
    Fb2Content m_content;
    std::vector<Run> m_runs;  // the paragraph being built
    std::string m_marker;     // list marker waiting for the item's first text
    bool m_pendingSpace = false;
    bool m_pendingSeparator = false;  // cell separator before the next visible text
    bool m_visible = false;           // the paragraph holds more than blanks
    bool m_preHasLines = false;
    bool m_pendingEmptyLine = false;
};

}  // namespace quillbox::rss::fb2
