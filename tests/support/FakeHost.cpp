#include "tests/support/FakeHost.h"

#include <algorithm>
#include <utility>

namespace quillbox::test {

FakeApplication::FakeApplication(std::string exeName) : m_exeName(std::move(exeName)) {}

void FakeApplication::ProcessMessages() {
    const auto now = std::chrono::steady_clock::now();
    if (calls > 0) {
        longestGap = std::max(longestGap, now - m_lastCall);
    }
    m_lastCall = now;
    ++calls;
    if (onProcess) {
        onProcess();
    }
}

bool FakeApplication::Cancelled() {
    const bool cancelled = cancelAfterCalls >= 0 && calls >= cancelAfterCalls;
    cancelQueries += cancelled ? 1 : 0;
    return cancelled;
}

std::vector<std::string> FakeLabel::changes() const {
    std::vector<std::string> folded;
    for (const std::string& caption : captions) {
        if (folded.empty() || folded.back() != caption) {
            folded.push_back(caption);
        }
    }
    return folded;
}

void FakeBrowser::SetOnDocumentComplete(DocumentCompleteHandler handler, void* context) {
    m_handler = handler;
    m_context = context;
}

void FakeBrowser::Navigate(const std::string& url) {
    navigated.push_back(url);
    m_pending = true;
}

void FakeBrowser::pump() {
    if (m_pending && m_visit == Visit::Completes && m_handler != nullptr) {
        m_pending = false;
        m_handler(m_context);
    }
}

}  // namespace quillbox::test
