// Updating and saving the news: the news screen's update action, which fetches
// every feed again, and its save action, which turns the fetched news into one
// FB2 book and copies it into the News folder of the connected reader.

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/Form.h"
#include "app/ProgramLog.h"
#include "app/QtHost.h"
#include "common/FixedText.h"
#include "contracts/Hostkit.h"
#include "contracts/RSS.h"

namespace quillbox::app {
namespace {

// Whether the converter left a file that can be read at path.
bool readableFile(const std::string& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    const std::ifstream in(path, std::ios::binary);
    return in.is_open();
}

}  // namespace

void TForm1::RSSUpdateClick() {
    runOperation([this] {
        ShowHourglass();
        UpdateAllRSS();
        ViewUpdateData();
        HideHourglass();
    });
}

void TForm1::RSSSaveClick() {
    if (ReaderDrive <= 0) {
        setFieldText(ErrorText, Languages.LanguageStrings[37]);
        ShowError();
        return;
    }
    runOperation([this] {
        ShowHourglass();
        CopyTimer.setEnabled(false);
        UpdateTimer.setEnabled(false);

        char buffer[501];
        std::memset(buffer, 0, sizeof buffer);
        ConvertNews(RSSList.get(), (m_dataFolder + "RSS\\").c_str(),
                    (m_dataFolder + "FB2\\").c_str(), buffer);
        buffer[sizeof buffer - 1] = 0;
        const std::string name = buffer;
        HideHourglass();

        // No readable book (nothing new, or it could not be written) or no
        // News folder on the reader: the action ends without a message.
        const std::string newsFolder =
            std::string(1, static_cast<char>('A' + ReaderDrive)) + ":\\News\\";
        if (!name.empty() && readableFile(m_dataFolder + "FB2/" + name) &&
            CreateDirEx(newsFolder.c_str())) {
            ShowHourglass();
            ShowCopyPanel(fromAnsi(name.c_str()));
            const bool copied = CopyFileToDevice((m_dataFolder + "FB2/" + name).c_str(),
                                                 (newsFolder + name).c_str(), m_application.get(),
                                                 progressBar(), percentLabel());
            logInfo("news book " + name +
                    (copied ? " copied to the reader" : " not copied to the reader"));
            if (copied) {
                // Only a book on the reader counts as delivered, so the next
                // book holds only newer news; a failed copy keeps it for the
                // next one. Should the mark not be stored, the news comes
                // again in the next book: nothing is lost.
                MarkRSSNewsDelivered((m_dataFolder + "RSS/").c_str(), name.c_str());
            }
            setFieldText(ErrorText, Languages.LanguageStrings[copied ? 31 : 32]);
            HideCopyPanel();
            HideHourglass();
            ShowError();
        }

        CopyTimer.setEnabled(true);
        UpdateTimer.setEnabled(true);
    });
}

}  // namespace quillbox::app
