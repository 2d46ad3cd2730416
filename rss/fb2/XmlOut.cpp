#include "rss/fb2/XmlOut.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "rss/fb2/XmlText.h"

namespace quillbox::rss::fb2 {

namespace {

constexpr std::size_t kBufferSize = std::size_t{256} * 1024;

const xmlChar* xml(const char* text) {
    return reinterpret_cast<const xmlChar*>(text);
}

}  // namespace

XmlOut::XmlOut(int fd) : m_fd(fd) {
    m_buffer.reserve(kBufferSize);
    xmlOutputBufferPtr output =
        xmlOutputBufferCreateIO(&XmlOut::writeCallback, &XmlOut::closeCallback, this, nullptr);
    if (output == nullptr) {
        m_failed = true;
        m_error = "cannot create the XML output buffer";
        return;
    }
    m_writer = xmlNewTextWriter(output);
    if (m_writer == nullptr) {
        xmlOutputBufferClose(output);
        m_failed = true;
        m_error = "cannot create the XML writer";
        return;
    }
    check(xmlTextWriterStartDocument(m_writer, "1.0", "UTF-8", nullptr), "start document");
}

XmlOut::~XmlOut() {
    if (m_writer != nullptr) {
        xmlFreeTextWriter(m_writer);
    }
}

int XmlOut::writeCallback(void* context, const char* buffer, int length) {
    auto* self = static_cast<XmlOut*>(context);
    if (self->m_failed) {
        return -1;
    }
    self->m_buffer.append(buffer, static_cast<std::size_t>(length));
    if (self->m_buffer.size() >= kBufferSize && !self->flushBuffer()) {
        return -1;
    }
    return length;
}

int XmlOut::closeCallback(void* context) {
    auto* self = static_cast<XmlOut*>(context);
    return self->flushBuffer() ? 0 : -1;
}

bool XmlOut::flushBuffer() {
    std::size_t done = 0;
    while (done < m_buffer.size()) {
        const ssize_t written = ::write(m_fd, m_buffer.data() + done, m_buffer.size() - done);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            m_failed = true;
            m_error = std::string("write failed: ") + std::strerror(errno);
            m_buffer.clear();
            return false;
        }
        done += static_cast<std::size_t>(written);
    }
    m_buffer.clear();
    return true;
}

void XmlOut::check(int result, const char* what) {
    if (result < 0 && !m_failed) {
        m_failed = true;
        m_error = std::string("XML writer failed: ") + what;
    }
}

void XmlOut::startElement(const char* name) {
    if (!m_failed) {
        check(xmlTextWriterStartElement(m_writer, xml(name)), name);
    }
}

void XmlOut::endElement() {
    if (!m_failed) {
        check(xmlTextWriterEndElement(m_writer), "end element");
    }
}

void XmlOut::attribute(const char* name, const std::string& value) {
    if (!m_failed) {
        const std::string clean = cleanText(value);
        check(xmlTextWriterWriteAttribute(m_writer, xml(name), xml(clean.c_str())), name);
    }
}

void XmlOut::text(const std::string& cleanUtf8) {
    if (!m_failed && !cleanUtf8.empty()) {
        check(xmlTextWriterWriteString(m_writer, xml(cleanUtf8.c_str())), "text");
    }
}

void XmlOut::element(const char* name, const std::string& cleanUtf8) {
    startElement(name);
    text(cleanUtf8);
    endElement();
}

void XmlOut::newline() {
    if (!m_failed) {
        check(xmlTextWriterWriteRaw(m_writer, xml("\n")), "line break");
    }
}

void XmlOut::base64(const char* data, std::size_t size) {
    if (!m_failed && size > 0) {
        check(xmlTextWriterWriteBase64(m_writer, data, 0, static_cast<int>(size)), "base64");
    }
}

bool XmlOut::finish() {
    if (m_writer == nullptr) {
        return false;
    }
    if (!m_failed) {
        check(xmlTextWriterEndDocument(m_writer), "end document");
    }
    // Freeing the writer closes its output buffer, which pushes the rest of
    // the bytes through writeCallback and closeCallback.
    xmlFreeTextWriter(m_writer);
    m_writer = nullptr;
    return !m_failed;
}

}  // namespace quillbox::rss::fb2
