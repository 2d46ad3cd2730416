#include "book/LoadBookLibraryFromURL.h"

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>

#include "book/AccountPageReader.h"
#include "book/AccountRequest.h"
#include "book/BookErrorText.h"
#include "book/BookHost.h"
#include "book/BookLibrary.h"
#include "book/ForceFolder.h"
#include "book/LibraryFiles.h"
#include "book/NetworkTexts.h"
#include "platform/PathNormaliser.h"
#include "platform/ProgramFolder.h"

namespace quillbox::book {
namespace {

constexpr std::string_view kShelfPrefix = "BookShelfs";
constexpr std::string_view kBookPrefix = "Books";

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// The account page as it arrives, written to the temporary file unchanged.
// The file is created at the first byte, or after the answer when it had none.
class PageFile {
  public:
    explicit PageFile(std::string nativePath) : m_path(std::move(nativePath)) {}

    bool take(const char* data, std::size_t size) {
        if (!m_file && !create()) {
            return false;
        }
        if (std::fwrite(data, 1, size, m_file.get()) != size) {
            m_writeFailed = true;
            return false;
        }
        return true;
    }

    bool create() {
        m_file.reset(std::fopen(m_path.c_str(), "wb"));
        m_createFailed = !m_file;
        return !m_createFailed;
    }

    bool created() const { return m_file != nullptr; }
    bool createFailed() const { return m_createFailed; }
    bool writeFailed() const { return m_writeFailed; }

    // Flushes and closes; false when a byte could not be written.
    bool close() {
        const bool flushed = std::fflush(m_file.get()) == 0;
        const bool closed = std::fclose(m_file.release()) == 0;
        return flushed && closed;
    }

  private:
    std::string m_path;
    File m_file;
    bool m_createFailed = false;
    bool m_writeFailed = false;
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

// Adds the computer and reader marks of the saved files to the rebuilt
// library; the money record read from the page wins over the saved one.
void mergeSavedMarks(TBookLibrary& library, TMoney& money, const std::string& folder) {
    const TMoney fromPage = money;
    LoadBookLibraryFromFile(library, money, folder, kShelfPrefix, kBookPrefix, false);
    money = fromPage;
}

void fail(std::string_view text, std::string_view boxText, bool showMessages) {
    if (showMessages) {
        showHostMessage(boxText);
    }
    setBookErrorText(text);
}

}  // namespace

std::uint8_t LoadBookLibraryFromURL(TBookLibrary& library, TMoney& money, TUserData user,
                                    bool showMessages) {
    const std::string dataFolder = platform::dataFolder();
    if (!ForceFolder(dataFolder + "Tmp/")) {
        fail(texts::tmpFolderNotCreated(), texts::tmpFolderNotCreated(), showMessages);
        return kUpdateNoTmpFolder;
    }
    lowerLatinLetters(user.Login);
    lowerLatinLetters(user.Password);

    const std::string tmpPath = platform::toNativePath(dataFolder + "Tmp/Tmp.~file");
    PageFile page(tmpPath);
    const platform::HttpRequest request =
        accountRequest(user, user.Login.text(), user.Password.text(), localDayOfMonth());
    const Result<platform::HttpResponse> answer = runAccountRequest(
        user, request, AccountRequestFor::Update, showMessages, &processHostMessages,
        [&page](const char* data, std::size_t size) { return page.take(data, size); });
    if (page.createFailed() || (answer && !page.created() && !page.create())) {
        fail(texts::tmpFileNotCreated(), texts::tmpFileNotCreated(), showMessages);
        return kUpdateNoTmpFile;
    }
    if (page.writeFailed()) {
        page.close();
        fail(texts::tmpFileNotWritten(), texts::tmpFileNotWritten(), showMessages);
        return kUpdateTmpFileNotWritten;
    }
    if (!answer) {
        if (page.created()) {
            page.close();
        }
        return kUpdateNotConnectedOrOverflow;
    }
    if (!page.close()) {
        fail(texts::tmpFileNotWritten(), texts::tmpFileNotWritten(), showMessages);
        return kUpdateTmpFileNotWritten;
    }

    File in(std::fopen(tmpPath.c_str(), "rb"));
    struct stat info {};
    if (!in || ::fstat(::fileno(in.get()), &info) != 0) {
        return kUpdatePageUnreadable;
    }
    if (info.st_size < kShortestAccountPage) {
        fail(texts::loginRefused(), texts::loginRefusedBox(), showMessages);
        return kUpdateLoginRefused;
    }

    const std::string libraryFolder = dataFolder + "BookLibrary/";
    // The saved files keep the computer and reader marks for the merge below.
    SaveBookLibraryToFile(library, money, libraryFolder, kShelfPrefix, kBookPrefix);
    DeleteBookLibrary(library);
    clearMoney(money);
    const PageReadResult read = readAccountPage(in.get(), library, money);
    in.reset();
    ::unlink(tmpPath.c_str());
    if (showMessages) {
        showHostMessage(texts::updateDoneBox());
    }
    // Also when the reading stopped early: without the merge, the next save
    // would drop every mark of the books on the computer and on the reader.
    mergeSavedMarks(library, money, libraryFolder);
    if (read == PageReadResult::WindowOverflow) {
        return kUpdateNotConnectedOrOverflow;
    }
    setBookErrorText(texts::updateDone());
    return kUpdateDone;
}

}  // namespace quillbox::book
