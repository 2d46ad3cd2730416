#include "book/DownloadFile.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <string>
#include <thread>

#include "book/AccountRequest.h"
#include "book/BookErrorText.h"
#include "book/BookNames.h"
#include "book/ForceFolder.h"
#include "book/NetworkTexts.h"
#include "book/PartFile.h"
#include "book/StoreConfig.h"
#include "common/FixedText.h"
#include "platform/Clock.h"
#include "platform/DriveTable.h"
#include "platform/Http.h"

namespace quillbox::book {
namespace {

using Clock = std::chrono::steady_clock;

// Set while the browser's visit runs. Library-wide, since the browser keeps
// our handler after the call and may still run it after a visit timed out.
std::uint8_t g_visitPending = 0;

void onDocumentComplete(void*) {
    g_visitPending = 0;
}

// The book's Id is a path below the root; bytes that cannot stand in a URL
// path are escaped so that the request line stays whole.
std::string downloadUrl(std::string_view root, std::string_view id) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string url(root);
    for (const char c : id) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F || std::strchr("\"<>\\^`{|}#", c) != nullptr) {
            url.push_back('%');
            url.push_back(kHex[byte >> 4]);
            url.push_back(kHex[byte & 0x0F]);
        } else {
            url.push_back(c);
        }
    }
    return url;
}

std::string programFileName(const TApplication* application) {
    const std::string path = application != nullptr ? application->ExeName() : std::string();
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return name.empty() ? std::string("quillbox") : name;
}

// The application as the download waits on it: messages processed, and the
// user's wish to stop asked right after (TApplication::Cancelled).
class Waiting {
  public:
    explicit Waiting(TApplication* application) : m_application(application) {}

    // Processes the application's messages; true when it asks to stop.
    bool processAndAsk() {
        if (m_application == nullptr) {
            return false;
        }
        m_application->ProcessMessages();
        m_cancelled = m_cancelled || m_application->Cancelled();
        return m_cancelled;
    }
    // The pump for the HTTP layer: throws platform::TransferCancelled to stop.
    void pump() {
        if (processAndAsk()) {
            throw platform::TransferCancelled();
        }
    }
    bool cancelled() const { return m_cancelled; }

  private:
    TApplication* m_application;
    bool m_cancelled = false;
};

// Writes the arriving bytes to the part file and shows how far the download
// is. Showing (bar, label) and processing the application's messages cost far
// more than a block of bytes, so they happen at most every
// kDownloadProgressInterval. The HTTP layer processes messages between its
// polls through processMessages(), which restarts that interval: the body sink
// processes them only when one perform of the transfer delivers for longer.
// Both throw platform::TransferCancelled when the application asks to stop.
class DownloadProgress {
  public:
    DownloadProgress(PartFile& part, std::uint32_t size, TProgressBar* bar, TLabel* label,
                     Waiting& waiting)
        : m_part(part),
          m_size(size),
          m_bar(bar),
          m_label(label),
          m_waiting(waiting),
          m_lastShown(platform::clockNow()),
          m_lastProcessed(m_lastShown) {}

    // The body sink. Returns false when the file could not be written.
    bool take(const char* data, std::size_t size) {
        if (!m_part.write(data, size)) {
            m_writeFailed = true;
            return false;
        }
        m_received += size;
        const platform::ClockTime now = platform::clockNow();
        if (due(m_lastShown, now)) {
            show();
            m_lastShown = now;
        }
        if (due(m_lastProcessed, now)) {
            processMessages();
        }
        return true;
    }

    // The pump given to the HTTP layer.
    void processMessages() {
        m_lastProcessed = platform::clockNow();
        m_waiting.pump();
    }

    // Shows the final count and lets the window paint it; true when the
    // application asked to stop meanwhile.
    bool finish() {
        show();
        return m_waiting.processAndAsk();
    }

    // The bytes written; 0 after a write failed.
    std::uint64_t written() const { return m_writeFailed ? 0 : m_received; }

  private:
    // Whether the interval has passed since then; also when the clock was set
    // back past then.
    static bool due(platform::ClockTime then, platform::ClockTime now) {
        return now - then >= kDownloadProgressInterval || now < then;
    }

    void show() {
        const std::uint64_t percent = downloadPercent(m_received, m_size);
        if (m_label != nullptr) {
            m_label->SetCaption((std::to_string(percent) + "%").c_str());
        }
        if (m_bar != nullptr) {
            m_bar->SetPosition(static_cast<int>(std::min<std::uint64_t>(percent, INT_MAX)));
        }
    }

    PartFile& m_part;
    std::uint32_t m_size;
    TProgressBar* m_bar;
    TLabel* m_label;
    Waiting& m_waiting;
    std::uint64_t m_received = 0;
    bool m_writeFailed = false;
    platform::ClockTime m_lastShown;
    platform::ClockTime m_lastProcessed;
};

// Waits for the browser's visit to the account page, processing messages.
// Returns false when it did not complete in time or the application asked to
// stop.
bool visitAccountPage(TWebBrowser& browser, const std::string& url, Waiting& waiting,
                      std::chrono::milliseconds limit) {
    browser.SetOnDocumentComplete(&onDocumentComplete, nullptr);
    g_visitPending = 1;
    browser.Navigate(url);
    const Clock::time_point deadline = Clock::now() + limit;
    while (true) {
        if (waiting.processAndAsk()) {
            return false;
        }
        if (g_visitPending == 0) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        // Short enough to keep the window lively, long enough not to spin.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

platform::HttpRequest bookRequest(const TBook& book, const TUserData& user,
                                  const TApplication* application) {
    platform::HttpRequest request;
    request.url = downloadUrl(storeRoot(), fieldText(book.Id));
    if (user.UseProxy) {
        request.proxy.host = std::string(user.ProxyHost.text());
        request.proxy.port = user.ProxyPort;
        // An authenticating proxy refuses the download without these.
        request.proxy.user = std::string(user.ProxyLogin.text());
        request.proxy.password = std::string(user.ProxyPassword.text());
        request.userAgent = "MSIE";
    } else {
        request.useSystemProxy = true;
        request.userAgent = programFileName(application);
    }
    request.cookies = &platform::sharedCookieJar();
    request.stallTimeout = kDownloadStallTimeout;
    request.connectTimeout = kDownloadStallTimeout;
    request.maxRedirects = 10;
    // An error page is not the book.
    request.failOnErrorStatus = true;
    return request;
}

}  // namespace

bool onRemovableDrive(std::string_view folder) {
    if (folder.size() < 2 || folder[1] != ':') {
        return false;
    }
    const int number = std::toupper(static_cast<unsigned char>(folder[0])) - 'A';
    for (const platform::Drive& drive : platform::readDriveTable()) {
        if (drive.number == number) {
            return drive.removable;
        }
    }
    return false;
}

std::uint64_t downloadPercent(std::uint64_t received, std::uint64_t size) {
    const std::uint64_t scaled = received * 100;
    std::uint64_t percent = scaled / size;
    const std::uint64_t rest = scaled % size;
    if (rest * 2 > size || (rest * 2 == size && percent % 2 == 1)) {
        ++percent;
    }
    return percent;
}

std::uint8_t DownloadFile(const TBook& book, std::string_view folder, const TUserData& user,
                          TApplication* application, TWebBrowser* browser, TProgressBar* bar,
                          TLabel* label, bool showMessages, std::chrono::milliseconds visitLimit) {
    if (!ForceFolder(folder)) {
        return kDownloadNoFolder;
    }
    const std::string target = bookFilePath(folder, book);
    // Nothing to fetch, and no percent to show; or no name to store it under.
    if (book.Size == 0 || target.empty()) {
        return kDownloadFailed;
    }
    Waiting waiting(application);
    const auto stopped = [] {
        setBookErrorText(texts::downloadCancelled());
        return kDownloadFailed;
    };

    const platform::HttpRequest account =
        accountRequest(user, user.Login.text(), user.Password.text(), localDayOfMonth());
    const Result<platform::HttpResponse> accountAnswer = runAccountRequest(
        user, account, AccountRequestFor::Download, showMessages, [&waiting] { waiting.pump(); },
        [](const char*, std::size_t) { return true; });
    if (!accountAnswer) {
        return kDownloadFailed;
    }

    if (browser != nullptr && !visitAccountPage(*browser, account.url, waiting, visitLimit)) {
        return waiting.cancelled() ? stopped() : kDownloadFailed;
    }
    if (bar != nullptr) {
        bar->SetPosition(0);
    }
    if (label != nullptr) {
        label->SetCaption("0%");
    }

    // The book's own folder below folder; the file is written through a part
    // file beside its target.
    ForceFolder(target.substr(0, target.rfind('/') + 1));
    PartFile part;
    if (!part.open(target, onRemovableDrive(folder))) {
        return kDownloadFailed;
    }
    DownloadProgress progress(part, book.Size, bar, label, waiting);
    // A transfer that breaks off simply ends the data; the count decides.
    (void)platform::httpGet(
        bookRequest(book, user, application), [&progress] { progress.processMessages(); },
        [&progress](const char* data, std::size_t size) { return progress.take(data, size); });
    // A stop leaves the part file to be discarded with part.
    if (waiting.cancelled() || progress.finish()) {
        return stopped();
    }
    std::uint64_t received = progress.written();
    if (!part.finish()) {
        received = 0;
    }
    if (received < book.Size || !part.commit()) {
        return kDownloadFailed;
    }
    return kDownloadDone;
}

}  // namespace quillbox::book
