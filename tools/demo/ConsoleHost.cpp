#include "tools/demo/ConsoleHost.h"

#include <filesystem>
#include <iostream>
#include <system_error>

#include "platform/CodePage.h"

namespace quillbox::demo {

void ConsoleApplication::ProcessMessages() {
    m_browser.pump();
}

std::string ConsoleApplication::ExeName() const {
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).string();
}

void ConsoleProgress::SetPosition(int position) {
    const int quarter = position / 25;
    if (quarter != m_lastQuarter) {
        m_lastQuarter = quarter;
        std::cout << "    progress " << position << "%\n";
    }
}

void ConsoleProgress::SetCaption(const char* /*caption*/) {}

std::string fromAnsi(const char* text) {
    Result<std::string> utf8 = platform::toUtf8(text, platform::systemAnsiCodePage());
    return utf8 ? utf8.value() : std::string(text);
}

}  // namespace quillbox::demo
