#pragma once
// The window's objects as the libraries see them (common/HostObjects.h), over
// Qt: the application processes the window's events through the timer service
// and moves the hidden browser on; the progress bar and the percent label
// wrap ProgressBar1 and Label19.

#include <QString>
#include <string>

#include "common/HostObjects.h"
#include "platform/BrowserStandIn.h"

class QLabel;
class QProgressBar;

namespace quillbox::app {

class QtApplication final : public TApplication {
  public:
    QtApplication() = default;
    void ProcessMessages() override;
    std::string ExeName() const override;
    bool Cancelled() override { return m_cancelRequested; }

    // The user asked to stop the operation under way; cleared when the next
    // operation starts (clearCancel).
    void requestCancel() { m_cancelRequested = true; }
    void clearCancel() { m_cancelRequested = false; }

    platform::BrowserStandIn& browser() { return m_browser; }

  private:
    bool m_cancelRequested = false;
    platform::BrowserStandIn m_browser;
};

class QtProgressBar final : public TProgressBar {
  public:
    explicit QtProgressBar(QProgressBar* bar) : m_bar(bar) {}
    void SetPosition(int position) override;

  private:
    QProgressBar* m_bar;
};

class QtLabel final : public TLabel {
  public:
    explicit QtLabel(QLabel* label) : m_label(label) {}
    void SetCaption(const char* caption) override;

  private:
    QLabel* m_label;
};

// Text in the system's ANSI code page (the libraries' texts) as Unicode.
QString fromAnsi(const char* text);
// Text in the code page of a font character set (0, 1, 204, 238) as Unicode.
QString fromCharset(const std::string& bytes, int charset);

}  // namespace quillbox::app
