#pragma once
// Fakes of the window's objects (common/HostObjects.h) for the library tests:
// they record what the library did with them. Every test uses these classes,
// so a new query of a host object is answered in one place.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "common/HostObjects.h"

namespace quillbox::test {

// The application. Counts ProcessMessages calls, keeps the longest pause
// between two of them, and runs onProcess (when set) on each call, where a test
// pumps a browser, changes the world mid-operation or throws. Cancelled()
// answers true once cancelAfterCalls ProcessMessages calls were made.
class FakeApplication : public TApplication {
  public:
    explicit FakeApplication(std::string exeName = "/opt/quillbox/quillbox");

    void ProcessMessages() override;
    // The name given to the constructor.
    std::string ExeName() const override { return m_exeName; }
    bool Cancelled() override;

    int cancelAfterCalls = -1;  // negative: never cancels
    int cancelQueries = 0;      // Cancelled() calls that answered true
    int calls = 0;
    std::chrono::steady_clock::duration longestGap{};
    std::function<void()> onProcess;

  private:
    std::string m_exeName;
    std::chrono::steady_clock::time_point m_lastCall;
};

// The progress bar: every position set, in order.
class FakeProgressBar : public TProgressBar {
  public:
    void SetPosition(int position) override { positions.push_back(position); }
    std::vector<int> positions;
};

// The percent label: every caption set, in order.
class FakeLabel : public TLabel {
  public:
    void SetCaption(const char* caption) override { captions.emplace_back(caption); }
    // The captions with consecutive repeats folded: what the user saw change.
    std::vector<std::string> changes() const;

    std::vector<std::string> captions;
};

// A browser that loads nothing. Its visit completes at the next pump() (called
// from the application's onProcess) or, built with Visit::NeverCompletes,
// never. navigated lists the addresses it was sent to.
class FakeBrowser : public TWebBrowser {
  public:
    enum class Visit { Completes, NeverCompletes };
    explicit FakeBrowser(Visit visit) : m_visit(visit) {}

    void SetOnDocumentComplete(DocumentCompleteHandler handler, void* context) override;
    void Navigate(const std::string& url) override;
    // Runs the document-complete handler once for a pending visit that completes.
    void pump();

    std::vector<std::string> navigated;

  private:
    Visit m_visit;
    bool m_pending = false;
    DocumentCompleteHandler m_handler = nullptr;
    void* m_context = nullptr;
};

}  // namespace quillbox::test
