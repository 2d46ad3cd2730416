#pragma once
// Streams one XML document into an open file descriptor through libxml2's text
// writer, with our own output buffer. Any failure is remembered and reported by
// finish(); the calls after a failure do nothing.

#include <libxml/xmlwriter.h>

#include <cstddef>
#include <string>

namespace quillbox::rss::fb2 {

class XmlOut {
  public:
    // Writes to `fd`, which stays owned by the caller and must outlive this object.
    explicit XmlOut(int fd);
    ~XmlOut();
    XmlOut(const XmlOut&) = delete;
    XmlOut& operator=(const XmlOut&) = delete;

    // `name` may carry a declared prefix ("l:href").
    void startElement(const char* name);
    void endElement();
    // `value` is written after cleanText(); `text` must already be clean UTF-8.
    void attribute(const char* name, const std::string& value);
    void text(const std::string& cleanUtf8);
    // <name>clean text</name>
    void element(const char* name, const std::string& cleanUtf8);
    // A line break between elements, for people reading the file.
    void newline();
    // Base64 of `size` bytes; consecutive calls continue one value when each
    // but the last passes a multiple of 3 bytes.
    void base64(const char* data, std::size_t size);

    // Closes every open element, flushes to the descriptor and releases the
    // writer. Returns false when anything failed; errorText() says what.
    bool finish();
    bool failed() const { return m_failed; }
    const std::string& errorText() const { return m_error; }

  private:
    static int writeCallback(void* context, const char* buffer, int length);
    static int closeCallback(void* context);
    bool flushBuffer();
    void check(int result, const char* what);

    int m_fd;
    xmlTextWriterPtr m_writer = nullptr;
    std::string m_buffer;
    bool m_failed = false;
    std::string m_error;
};

}  // namespace quillbox::rss::fb2
