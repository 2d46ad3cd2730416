#pragma once
// The hidden web browser: a navigation is an HTTP GET through the process's
// cookie jar, so the cookies a page sets are there for the downloads that
// follow. Navigate only starts the GET; pump(), called from the program's
// event processing, moves it on and runs the document-complete handler.

#include <chrono>
#include <memory>
#include <string>

#include "common/HostObjects.h"
#include "platform/Http.h"

namespace quillbox::platform {

class BrowserStandIn final : public TWebBrowser {
  public:
    // A navigation that has not finished after this long completes as failed.
    static constexpr std::chrono::milliseconds kDefaultNavigationLimit{30000};

    // jar must outlive the browser.
    explicit BrowserStandIn(CookieJar& jar = sharedCookieJar());
    ~BrowserStandIn() override;
    BrowserStandIn(const BrowserStandIn&) = delete;
    BrowserStandIn& operator=(const BrowserStandIn&) = delete;

    void SetOnDocumentComplete(DocumentCompleteHandler handler, void* context) override;
    // Starts loading url and returns at once. A navigation still under way is
    // abandoned without its handler call.
    void Navigate(const std::string& url) override;

    // Moves the navigation on without waiting; when it has finished (loaded,
    // failed or out of time) calls the document-complete handler once.
    void pump();
    // True while a navigation is under way.
    bool busy() const;

    void setProxy(const ProxySettings& proxy);
    void setUserAgent(const std::string& agent);
    void setNavigationLimit(std::chrono::milliseconds limit);

    // Outcome of the last finished navigation: HTTP status (0 when none came)
    // and whether the page arrived at all.
    long lastStatus() const;
    bool lastSucceeded() const;
    const std::string& lastError() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quillbox::platform
