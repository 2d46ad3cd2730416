#include "book/NetworkTexts.h"

#include <stdexcept>

#include "common/BookTypes.h"
#include "platform/CodePage.h"

namespace quillbox::book::texts {
namespace {

// The texts are written here in UTF-8 and converted once; they all have a
// place in windows-1251, so a failure is a programming error.
std::string ansi(std::string_view utf8) {
    Result<std::string> converted = platform::fromUtf8(utf8, "WINDOWS-1251");
    if (!converted) {
        throw std::logic_error("message text has no windows-1251 form");
    }
    return converted.value();
}

constexpr std::string_view kConnectionTail =
    ", проверьте настройки подключения. Возможно отсутствует интернет(или прокси) соединение.";

}  // namespace

const std::string& updateDone() {
    static const std::string text = ansi("Обновление книжной полки успешно завершено");
    return text;
}

const std::string& updateDoneBox() {
    static const std::string text = ansi("Обновление книжной полки успешно завершена");
    return text;
}

const std::string& tmpFolderNotCreated() {
    static const std::string text = ansi("Невозможно создать 'Tmp/'");
    return text;
}

const std::string& tmpFileNotCreated() {
    static const std::string text = ansi("Невозможно создать 'Tmp/Tmp.~file'");
    return text;
}

const std::string& tmpFileNotWritten() {
    static const std::string text = ansi("Ошибка записи в 'Tmp/Tmp.~file'");
    return text;
}

const std::string& loginRefused() {
    static const std::string text =
        ansi("Измените логин и/или  пароль, доступ к книжной полке запрещен");
    return text;
}

const std::string& loginRefusedBox() {
    static const std::string text =
        ansi("Измените логин и/или пароль, доступ к книжной полке запрещен");
    return text;
}

std::string connectionFailed(std::string_view hostName) {
    static const std::string head = ansi("Ошибка подключения к ");
    static const std::string tail = ansi(kConnectionTail);
    return head + std::string(hostName) + tail;
}

const std::string& downloadConnectionFailed() {
    static const std::string text = ansi("Ошибка подключения к интернет ") + ansi(kConnectionTail);
    return text;
}

const std::string& accountPageUnreadable() {
    static const std::string text = ansi("Ошибка чтения страницы книжной полки");
    return text;
}

const std::string& tmpFileNotOpened() {
    static const std::string text = ansi("Невозможно открыть 'Tmp/Tmp.~file'");
    return text;
}

const std::string& libraryFilesFailed() {
    static const std::string text = ansi("Ошибка записи в 'BookLibrary/'");
    return text;
}

const std::string& updateCancelled() {
    static const std::string text = ansi("Обновление книжной полки прервано");
    return text;
}

const std::string& downloadCancelled() {
    static const std::string text = ansi("Загрузка книги прервана");
    return text;
}

std::string libraryOverflow(std::size_t shelvesLeftOut, std::size_t booksLeftOut) {
    // Built piece by piece: GCC 12 misreports "literal" + std::string at -O3.
    std::string text = "Библиотека переполнена, пропущено ";
    if (shelvesLeftOut > 0) {
        text += "полок: ";
        text += std::to_string(shelvesLeftOut);
    }
    if (booksLeftOut > 0) {
        text += shelvesLeftOut > 0 ? ", книг: " : "книг: ";
        text += std::to_string(booksLeftOut);
    }
    text += " (помещается не более ";
    text += std::to_string(kMaxShelves);
    text += " полок и ";
    text += std::to_string(kMaxBooksPerShelf);
    text += " книг на полке)";
    return ansi(text);
}

}  // namespace quillbox::book::texts
