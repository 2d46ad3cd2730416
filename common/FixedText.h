#pragma once
// Fixed-width texts of the shared records: zero-terminated arrays of single-byte
// ANSI characters, and length-prefixed short strings. Every helper here stays
// inside the field it is given, whatever the input.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace quillbox {

// The text of a zero-terminated field: up to its first zero, or the whole width
// when a hostile file left no zero in it.
template <std::size_t N>
std::string_view fieldText(const char (&field)[N]) {
    const void* zero = std::memchr(field, 0, N);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field) : N;
    return std::string_view(field, length);
}

// Copies at most N - 1 characters of text into the field and zero-fills the rest,
// so equal texts always give equal bytes. Returns false when the text was cut.
template <std::size_t N>
bool setFieldText(char (&field)[N], std::string_view text) {
    static_assert(N > 0);
    const std::size_t length = std::min(text.size(), N - 1);
    if (length > 0) {
        std::memcpy(field, text.data(), length);
    }
    std::memset(field + length, 0, N - length);
    return length == text.size();
}

// Two fields are the same when all N bytes are equal, bytes after the
// terminating zero included.
template <std::size_t N>
bool sameFieldBytes(const char (&a)[N], const char (&b)[N]) {
    return std::memcmp(a, b, N) == 0;
}

// Makes sure the field holds a terminating zero within its width.
template <std::size_t N>
void terminateField(char (&field)[N]) {
    if (std::memchr(field, 0, N) == nullptr) {
        field[N - 1] = 0;
    }
}

// A short string: one length byte, then up to Capacity characters.
template <std::size_t Capacity>
struct ShortString {
    static_assert(Capacity > 0 && Capacity <= 255);
    std::uint8_t Length;
    char Chars[Capacity];

    std::string_view text() const {
        return std::string_view(Chars, std::min<std::size_t>(Length, Capacity));
    }
    // Stores at most Capacity characters; returns false when the text was cut.
    bool assign(std::string_view value) {
        const std::size_t length = std::min(value.size(), Capacity);
        if (length > 0) {
            std::memcpy(Chars, value.data(), length);
        }
        std::memset(Chars + length, 0, Capacity - length);
        Length = static_cast<std::uint8_t>(length);
        return length == value.size();
    }
};

using TShortString = ShortString<255>;
static_assert(sizeof(TShortString) == 256 && alignof(TShortString) == 1);

}  // namespace quillbox
