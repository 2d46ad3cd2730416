#include "tools/store-server/Fixtures.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/CodePage.h"
#include "tools/store-server/SafePath.h"

namespace storeserver {

namespace {

namespace fs = std::filesystem;

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t bar = text.find('|');
        fields.push_back(trim(text.substr(0, bar)));
        if (bar == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(bar + 1);
    }
}

class AccountReader {
  public:
    AccountReader(const fs::path& file, const fs::path& filesFolder)
        : m_file(file), m_filesFolder(filesFolder) {}

    std::string read(Account& account) {
        std::ifstream in(m_file, std::ios::binary);
        if (!in) {
            return m_file.string() + ": cannot be read";
        }
        std::string line;
        int number = 0;
        bool haveShelf = false;
        std::size_t lastShelfIndex = 0;
        int booksOnShelf = 0;
        const auto closeShelf = [&]() {
            if (haveShelf) {
                auto& shelf = std::get<ShelfEntry>(account.entries[lastShelfIndex]);
                if (shelf.count.empty()) {
                    shelf.count = std::to_string(booksOnShelf);
                }
            }
        };
        while (std::getline(in, line)) {
            ++number;
            const std::string_view text = trim(line);
            if (text.empty() || text.front() == '#') {
                continue;
            }
            const std::size_t colon = text.find(':');
            if (colon == std::string_view::npos) {
                return where(number) + "expected KIND: FIELDS";
            }
            const std::string_view kind = trim(text.substr(0, colon));
            std::vector<std::string> fields;
            for (std::string_view field : splitFields(text.substr(colon + 1))) {
                auto converted = quillbox::platform::fromUtf8(field, "WINDOWS-1251");
                if (!converted) {
                    return where(number) + "text has no place in windows-1251";
                }
                fields.push_back(std::move(converted.value()));
            }
            std::string error;
            if (kind == "password" && fields.size() == 1) {
                account.password = fields[0];
            } else if (kind == "balance" && fields.size() == 1) {
                account.entries.emplace_back(BalanceEntry{fields[0]});
            } else if (kind == "payment" && fields.size() == 3) {
                account.entries.emplace_back(PaymentEntry{fields[0], fields[1], fields[2]});
            } else if (kind == "shelf" && fields.size() >= 2) {
                closeShelf();
                ShelfEntry shelf{fields[0], fields[1], {}};
                for (std::size_t i = 2; i < fields.size(); ++i) {
                    if (fields[i].rfind("count=", 0) != 0) {
                        return where(number) + "unknown shelf option " + fields[i];
                    }
                    shelf.count = fields[i].substr(6);
                }
                account.entries.emplace_back(std::move(shelf));
                lastShelfIndex = account.entries.size() - 1;
                haveShelf = true;
                booksOnShelf = 0;
            } else if ((kind == "book" && fields.size() >= 4) ||
                       (kind == "magazine" && fields.size() >= 3)) {
                BookEntry book;
                book.magazine = kind == "magazine";
                std::size_t next = 0;
                if (!book.magazine) {
                    book.author = fields[next++];
                }
                book.title = fields[next++];
                book.id = fields[next++];
                book.bookType = fields[next++];
                error = readBookOptions(book, fields, next);
                if (!error.empty()) {
                    return where(number) + error;
                }
                account.entries.emplace_back(std::move(book));
                ++booksOnShelf;
            } else {
                return where(number) + "unknown item or wrong number of fields";
            }
        }
        closeShelf();
        return {};
    }

  private:
    std::string where(int line) const {
        return m_file.string() + ":" + std::to_string(line) + ": ";
    }

    std::string readBookOptions(BookEntry& book, const std::vector<std::string>& fields,
                                std::size_t first) const {
        if (!safeRelativePath(book.id)) {
            return "Id must be a relative path without . or .. levels";
        }
        bool sizeGiven = false;
        bool generated = false;
        for (std::size_t i = first; i < fields.size(); ++i) {
            const std::string& option = fields[i];
            if (option.rfind("size=", 0) == 0) {
                book.size = option.substr(5);
                sizeGiven = true;
            } else if (option.rfind("bytes=", 0) == 0) {
                const std::string digits = option.substr(6);
                const auto [end, failure] = std::from_chars(
                    digits.data(), digits.data() + digits.size(), book.generatedBytes);
                if (failure != std::errc() || end != digits.data() + digits.size()) {
                    return "bytes= needs a number";
                }
                generated = true;
            } else {
                return "unknown book option " + option;
            }
        }
        if (generated) {
            if (!sizeGiven) {
                book.size = std::to_string(book.generatedBytes);
            }
            return {};
        }
        const fs::path file = m_filesFolder / book.id;
        std::error_code failure;
        const auto bytes = fs::file_size(file, failure);
        if (!failure) {
            book.filePath = file.string();
            if (!sizeGiven) {
                book.size = std::to_string(bytes);
            }
        } else if (!sizeGiven) {
            return "no file " + file.string() + " and no size=";
        }
        return {};
    }

    fs::path m_file;
    fs::path m_filesFolder;
};

}  // namespace

std::string lowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return lower;
}

const BookEntry* Account::findBook(std::string_view id) const {
    for (const AccountEntry& entry : entries) {
        if (const auto* book = std::get_if<BookEntry>(&entry); book != nullptr && book->id == id) {
            return book;
        }
    }
    return nullptr;
}

std::string Fixtures::load(const std::string& folder) {
    m_accounts.clear();
    const fs::path accountsFolder = fs::path(folder) / "accounts";
    std::error_code failure;
    if (!fs::is_directory(accountsFolder, failure)) {
        return {};
    }
    std::vector<fs::path> files;
    for (const auto& item : fs::directory_iterator(accountsFolder, failure)) {
        if (item.path().extension() == ".account") {
            files.push_back(item.path());
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        Account account;
        auto login = quillbox::platform::fromUtf8(file.stem().string(), "WINDOWS-1251");
        if (!login) {
            return file.string() + ": login has no place in windows-1251";
        }
        account.login = login.value();
        std::string error = AccountReader(file, fs::path(folder) / "files").read(account);
        if (!error.empty()) {
            return error;
        }
        m_accounts.push_back(std::move(account));
    }
    return {};
}

const Account* Fixtures::findAccount(std::string_view login) const {
    const std::string wanted = lowerAscii(login);
    for (const Account& account : m_accounts) {
        if (lowerAscii(account.login) == wanted) {
            return &account;
        }
    }
    return nullptr;
}

}  // namespace storeserver
