#pragma once
// The window's objects for a run without a window: the application pumps the
// browser stand-in, progress goes to the terminal.

#include <string>

#include "common/HostObjects.h"
#include "platform/BrowserStandIn.h"

namespace quillbox::demo {

class ConsoleApplication final : public TApplication {
  public:
    explicit ConsoleApplication(platform::BrowserStandIn& browser) : m_browser(browser) {}
    void ProcessMessages() override;
    std::string ExeName() const override;

  private:
    platform::BrowserStandIn& m_browser;
};

// Prints the percentage each time it passes another quarter.
class ConsoleProgress final : public TProgressBar, public TLabel {
  public:
    void SetPosition(int position) override;
    void SetCaption(const char* caption) override;
    void reset() { m_lastQuarter = -1; }

  private:
    int m_lastQuarter = -1;
};

// UTF-8 for the terminal from the records' windows-1251 text.
std::string fromAnsi(const char* text);

}  // namespace quillbox::demo
