#include "book/BookErrorText.h"

#include <cstring>

#include "common/FixedText.h"

namespace quillbox::book {
namespace {

char BookErrorText[sizeof(TBookErrorText::Text)] = {};

}  // namespace

void setBookErrorText(std::string_view ansiText) {
    setFieldText(BookErrorText, ansiText);
}

TBookErrorText GetBookErrorText() {
    TBookErrorText copy;
    std::memcpy(copy.Text, BookErrorText, sizeof copy.Text);
    return copy;
}

}  // namespace quillbox::book
