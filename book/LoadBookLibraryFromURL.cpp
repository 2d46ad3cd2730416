#include "book/LoadBookLibraryFromURL.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "book/AccountPageReader.h"
#include "book/AccountRequest.h"
#include "book/BookErrorText.h"
#include "book/BookHost.h"
#include "book/BookLibrary.h"
#include "book/ForceFolder.h"
#include "book/LibraryFiles.h"
#include "book/NetworkTexts.h"
#include "platform/FileDescriptor.h"
#include "platform/Http.h"
#include "platform/PathNormaliser.h"
#include "platform/ProgramFolder.h"

namespace quillbox::book {
namespace {

constexpr std::string_view kShelfPrefix = "BookShelfs";
constexpr std::string_view kBookPrefix = "Books";
// The page names the account's books and payments: for the user's eyes only.
constexpr mode_t kPageFileMode = 0600;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The account page as it arrives, written unchanged to the temporary file. An
// old file under the name is removed at once; the new one is made at the first
// byte (or after an answer without any), and is removed when the object goes,
// whatever the update's outcome.
class PageFile {
  public:
    explicit PageFile(std::string nativePath) : m_path(std::move(nativePath)) {
        ::unlink(m_path.c_str());
    }
    ~PageFile() {
        m_file.reset();
        ::unlink(m_path.c_str());
    }
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    // The body sink; false when the file cannot be made or written.
    bool take(const char* data, std::size_t size) {
        if (!m_created && !create()) {
            return false;
        }
        while (size > 0) {
            const ssize_t written = ::write(m_file.get(), data, size);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                m_writeFailed = true;
                return false;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return true;
    }

    // Whatever lies under the name (an old page, a link) goes first, so that
    // the new file is ours alone, with its mode, from its first byte.
    bool create() {
        ::unlink(m_path.c_str());
        m_file.reset(::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            kPageFileMode));
        m_created = m_file.valid();
        m_createFailed = !m_created;
        return m_created;
    }

    bool created() const { return m_created; }
    bool createFailed() const { return m_createFailed; }
    bool writeFailed() const { return m_writeFailed; }

    // Closes the written file; false when that reported a lost write.
    bool close() { return m_file.close() == 0; }

    File openForReading() const { return File(std::fopen(m_path.c_str(), "rb")); }

  private:
    std::string m_path;
    platform::FileDescriptor m_file;
    bool m_created = false;
    bool m_createFailed = false;
    bool m_writeFailed = false;
};

// A library the update fills before it replaces the caller's; frees its
// blocks when it goes.
struct LibraryOwner {
    TBookLibrary value{};
    LibraryOwner() = default;
    ~LibraryOwner() { DeleteBookLibrary(value); }
    LibraryOwner(const LibraryOwner&) = delete;
    LibraryOwner& operator=(const LibraryOwner&) = delete;
};

void lowerLatinLetters(TShortString& text) {
    for (std::size_t i = 0; i < text.Length && i < sizeof text.Chars; ++i) {
        if (text.Chars[i] >= 'A' && text.Chars[i] <= 'Z') {
            text.Chars[i] = static_cast<char>(text.Chars[i] - 'A' + 'a');
        }
    }
}

void clearMoney(TMoney& money) {
    std::memset(money.Balance, 0, sizeof money.Balance);
    for (int slot = 1; slot <= kMaxPayments; ++slot) {
        TPayment& payment = money.Payments[slot];
        std::memset(payment.Date, 0, sizeof payment.Date);
        std::memset(payment.Type, 0, sizeof payment.Type);
        std::memset(payment.Summ, 0, sizeof payment.Summ);
    }
    money.PaymentCount = 0;
}

void fail(std::string_view text, std::string_view boxText, bool showMessages) {
    if (showMessages) {
        showHostMessage(boxText);
    }
    setBookErrorText(text);
}

void fail(std::string_view text, bool showMessages) {
    fail(text, text, showMessages);
}

// Fetches the account page into page, processing the host's messages while it
// waits and stopping when the host asks to. Returns kUpdateDone when the whole
// page is in the file, else the failure's code with its text set.
std::uint8_t fetchPage(const TUserData& user, std::uint64_t pageCap, PageFile& page,
                       bool showMessages) {
    const platform::Pump pump = [] {
        processHostMessages();
        if (hostCancelled()) {
            throw platform::TransferCancelled();
        }
    };
    platform::HttpRequest request =
        accountRequest(user, user.Login.text(), user.Password.text(), localDayOfMonth());
    request.maxBodyBytes = pageCap;
    const Result<platform::HttpResponse> answer = runAccountRequest(
        user, request, AccountRequestFor::Update, showMessages, pump,
        [&page](const char* data, std::size_t size) { return page.take(data, size); });
    if (page.createFailed() || (answer && !page.created() && !page.create())) {
        fail(texts::tmpFileNotCreated(), showMessages);
        return kUpdateNoTmpFile;
    }
    if (page.writeFailed()) {
        fail(texts::tmpFileNotWritten(), showMessages);
        return kUpdateTmpFileNotWritten;
    }
    if (!answer) {
        // runAccountRequest has set the text.
        return kUpdateNotConnectedOrOverflow;
    }
    if (!page.close()) {
        fail(texts::tmpFileNotWritten(), showMessages);
        return kUpdateTmpFileNotWritten;
    }
    return kUpdateDone;
}

}  // namespace

std::uint8_t LoadBookLibraryFromURL(TBookLibrary& library, TMoney& money, TUserData user,
                                    bool showMessages, std::uint64_t pageCap) {
    const std::string dataFolder = platform::dataFolder();
    if (!ForceFolder(dataFolder + "Tmp/")) {
        fail(texts::tmpFolderNotCreated(), showMessages);
        return kUpdateNoTmpFolder;
    }
    lowerLatinLetters(user.Login);
    lowerLatinLetters(user.Password);

    PageFile page(platform::toNativePath(dataFolder + "Tmp/Tmp.~file"));
    if (const std::uint8_t fetched = fetchPage(user, pageCap, page, showMessages);
        fetched != kUpdateDone) {
        return fetched;
    }
    File in = page.openForReading();
    struct stat info {};
    if (!in || ::fstat(::fileno(in.get()), &info) != 0) {
        fail(texts::tmpFileNotOpened(), showMessages);
        return kUpdatePageUnreadable;
    }
    if (info.st_size < kShortestAccountPage) {
        fail(texts::loginRefused(), texts::loginRefusedBox(), showMessages);
        return kUpdateLoginRefused;
    }

    // The page is read into a library and money record of its own: the
    // caller's change only once the page was read whole.
    LibraryOwner fresh;
    TMoney freshMoney = money;
    clearMoney(freshMoney);
    LeftOut leftOut;
    if (readAccountPage(in.get(), fresh.value, freshMoney, kPageBlockBytes, &leftOut) ==
        PageReadResult::WindowOverflow) {
        fail(texts::accountPageUnreadable(), showMessages);
        return kUpdateNotConnectedOrOverflow;
    }
    in.reset();

    // The caller's library goes to the files, which carry its computer and
    // reader marks into the new one; the money record read from the page wins
    // over the one the files hold.
    const std::string libraryFolder = dataFolder + "BookLibrary/";
    TMoney savedMoney{};
    if (!SaveBookLibraryToFile(library, money, libraryFolder, kShelfPrefix, kBookPrefix) ||
        !LoadBookLibraryFromFile(fresh.value, savedMoney, libraryFolder, kShelfPrefix, kBookPrefix,
                                 false)) {
        fail(texts::libraryFilesFailed(), showMessages);
        return kUpdateTmpFileNotWritten;
    }
    // The old blocks leave with fresh.
    std::swap(library, fresh.value);
    money = freshMoney;
    setBookErrorText(texts::updateDone());
    if (showMessages) {
        showHostMessage(texts::updateDoneBox());
    }
    // The update is done, but the user learns what did not fit.
    if (leftOut.any()) {
        const std::string overflow = texts::libraryOverflow(leftOut.shelves, leftOut.books);
        setBookErrorText(overflow);
        if (showMessages) {
            showHostMessage(overflow);
        }
    }
    return kUpdateDone;
}

}  // namespace quillbox::book
