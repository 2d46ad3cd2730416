#include "rss/fb2/BlockBuilder.h"

#include "rss/fb2/XmlText.h"

namespace quillbox::rss::fb2 {

namespace {

constexpr char32_t kNoBreakSpace = 0xA0;

// Characters that take room but show nothing: a paragraph of them is empty.
bool isBlank(char32_t c) {
    return c == ' ' || c == kNoBreakSpace || (c >= 0x2000 && c <= 0x200B) || c == 0x202F ||
           c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

}  // namespace

void BlockBuilder::addText(std::string_view text) {
    if (m_context.preDepth > 0) {
        addPreformatted(text);
    } else {
        addCollapsed(text);
    }
}

void BlockBuilder::addCollapsed(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = nextCodePoint(text, pos);
        if (!isKeptCharacter(c)) {
            continue;
        }
        if (isCollapsibleSpace(c)) {
            softSpace();
            continue;
        }
        append(c, !isBlank(c));
    }
}

void BlockBuilder::addPreformatted(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char32_t c = nextCodePoint(text, pos);
        if (c == '\n') {
            endPreformattedLine();
        } else if (c == '\t' || c == ' ') {
            // Leading blanks of a code line become no-break spaces so that
            // readers keep the indentation.
            const int count = c == '\t' ? 4 : 1;
            for (int i = 0; i < count; ++i) {
                append(m_visible ? U' ' : kNoBreakSpace, false);
            }
        } else if (isKeptCharacter(c) && c != '\r') {
            append(c, !isBlank(c));
        }
    }
}

void BlockBuilder::endPreformattedLine() {
    if (m_visible) {
        flush();
        m_preHasLines = true;
        return;
    }
    m_runs.clear();
    m_pendingSpace = false;
    if (m_preHasLines) {
        m_pendingEmptyLine = true;
    }
}

void BlockBuilder::addPicture(const std::string& id) {
    if (m_context.cellDepth > 0 || m_context.quoteDepth > 0 || m_context.headingDepth > 0) {
        appendSeparator();
        appendRunStart();
        m_runs.push_back(Run{{}, 0, m_context.link, id});
        m_visible = true;
        return;
    }
    flush();
    m_content.blocks.push_back(Block{BlockKind::Image, {}, id, false});
}

void BlockBuilder::blockBoundary() {
    if (m_context.cellDepth > 0) {
        softSpace();
    } else {
        flush();
    }
}

void BlockBuilder::lineBreak() {
    if (m_context.preDepth > 0) {
        endPreformattedLine();
    } else {
        blockBoundary();
    }
}

void BlockBuilder::rule() {
    if (m_context.cellDepth > 0) {
        softSpace();
        return;
    }
    flush();
    appendEmptyLine();
}

void BlockBuilder::startPreformatted() {
    blockBoundary();
    if (m_context.preDepth == 1) {
        m_preHasLines = false;
    }
}

void BlockBuilder::endPreformatted() {
    blockBoundary();
    if (m_context.preDepth == 0) {
        m_pendingEmptyLine = false;
    }
}

void BlockBuilder::setListMarker(std::string marker) {
    m_marker = std::move(marker);
}

void BlockBuilder::clearListMarker() {
    m_marker.clear();
}

void BlockBuilder::startRow() {
    blockBoundary();
    m_pendingSeparator = false;
}

void BlockBuilder::startCell(bool hasCellBefore) {
    // Cells are joined by " | ", written before the next cell that shows
    // something, so that empty cells leave no trace.
    if (hasCellBefore && m_visible) {
        m_pendingSeparator = true;
    }
    softSpace();
}

int BlockBuilder::addLink(std::string url) {
    m_content.links.push_back(std::move(url));
    return static_cast<int>(m_content.links.size()) - 1;
}

Fb2Content BlockBuilder::take() {
    flush();
    return std::move(m_content);
}

void BlockBuilder::appendSeparator() {
    if (m_pendingSeparator) {
        m_pendingSeparator = false;
        m_pendingSpace = false;
        appendPlain(" | ");
    }
}

void BlockBuilder::appendRunStart() {
    if (m_runs.empty() && !m_marker.empty()) {
        appendPlain(m_marker);
        m_marker.clear();
    }
    if (m_pendingSpace) {
        // A space between two styles or links belongs to neither, unless it
        // continues the run before it.
        if (!m_runs.empty() && m_runs.back().imageId.empty() &&
            m_runs.back().styles == currentStyles() && m_runs.back().link == m_context.link) {
            m_runs.back().text.push_back(' ');
        } else {
            appendPlain(" ");
        }
        m_pendingSpace = false;
    }
}

void BlockBuilder::appendPlain(std::string_view text) {
    if (m_runs.empty() || !m_runs.back().imageId.empty() || m_runs.back().styles != 0 ||
        m_runs.back().link != -1) {
        m_runs.push_back(Run{{}, 0, -1, {}});
    }
    m_runs.back().text += text;
}

unsigned BlockBuilder::currentStyles() const {
    return m_context.styles | (m_context.preDepth > 0 ? kCode : 0U);
}

Run& BlockBuilder::currentRun() {
    const unsigned styles = currentStyles();
    if (m_runs.empty() || !m_runs.back().imageId.empty() || m_runs.back().styles != styles ||
        m_runs.back().link != m_context.link) {
        m_runs.push_back(Run{{}, styles, m_context.link, {}});
    }
    return m_runs.back();
}

void BlockBuilder::append(char32_t c, bool visible) {
    if (visible) {
        appendSeparator();
    }
    appendRunStart();
    appendUtf8(currentRun().text, c);
    m_visible = m_visible || visible;
}

void BlockBuilder::softSpace() {
    if (!m_runs.empty()) {
        m_pendingSpace = true;
    }
}

void BlockBuilder::flush() {
    if (m_visible) {
        if (m_pendingEmptyLine) {
            appendEmptyLine();
            m_pendingEmptyLine = false;
        }
        while (!m_runs.empty() && m_runs.back().imageId.empty() && !m_runs.back().text.empty() &&
               m_runs.back().text.back() == ' ') {
            m_runs.back().text.pop_back();
            if (m_runs.back().text.empty()) {
                m_runs.pop_back();
            }
        }
        Block block;
        block.kind = m_context.headingDepth > 0 ? BlockKind::Subtitle : BlockKind::Paragraph;
        block.runs = std::move(m_runs);
        block.quoted = m_context.quoteDepth > 0;
        m_content.blocks.push_back(std::move(block));
    }
    m_runs.clear();
    m_pendingSpace = false;
    m_pendingSeparator = false;
    m_visible = false;
}

void BlockBuilder::appendEmptyLine() {
    if (!m_content.blocks.empty() && m_content.blocks.back().kind != BlockKind::EmptyLine) {
        Block block;
        block.kind = BlockKind::EmptyLine;
        block.quoted = m_context.quoteDepth > 0;
        m_content.blocks.push_back(std::move(block));
    }
}

}  // namespace quillbox::rss::fb2
