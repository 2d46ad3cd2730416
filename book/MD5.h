#pragma once
// The MD5 message digest (RFC 1321) and the account key built from it. The key
// is what the account request sends instead of the password.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillbox::book {

// State of a running digest: the four state words A, B, C, D, the number of
// bits fed so far (low word first) and the partly filled 64-byte block.
struct TMD5Context {
    std::uint32_t State[4];
    std::uint32_t Count[2];
    std::uint8_t Buffer[64];
};
static_assert(sizeof(TMD5Context) == 88);

using TMD5Digest = std::array<std::uint8_t, 16>;

// Zero-fills the context and sets the initial state words.
void MD5Init(TMD5Context& context);

// Feeds count bytes; full 64-byte blocks are transformed as they fill.
void MD5Update(TMD5Context& context, const void* input, std::size_t count);

// Pads, feeds the bit count, writes the 16-byte digest and zero-fills the context.
void MD5Final(TMD5Digest& digest, TMD5Context& context);

// Digest of the text's bytes, whatever its length.
TMD5Digest MD5String(std::string_view text);

// 32 upper-case hexadecimal digits, two per byte in byte order.
std::string DigestToHex(const TMD5Digest& digest);

// Lower-case hexadecimal MD5 of the day of the month as two digits (1..31;
// other values are taken modulo 100), then login, then password, as given.
std::string AccountKey(int dayOfMonth, std::string_view login, std::string_view password);

}  // namespace quillbox::book
