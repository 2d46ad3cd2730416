#include "book/MD5.h"

#include <bit>
#include <cctype>
#include <cstring>

namespace quillbox::book {
namespace {

// One 0x80 byte, then zeros: enough to pad any partial block.
constexpr std::uint8_t kPadding[64] = {0x80};

// floor(abs(sin(i + 1)) * 2^32) for i = 0..63.
constexpr std::uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & y) | (~x & z);
}
constexpr std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return (x & z) | (y & ~z);
}
constexpr std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return x ^ y ^ z;
}
constexpr std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
    return y ^ (x | ~z);
}

// a = b + ((a + f(b, c, d) + x + t) <<< s)
template <std::uint32_t (*Function)(std::uint32_t, std::uint32_t, std::uint32_t)>
inline void step(std::uint32_t& a, std::uint32_t b, std::uint32_t c, std::uint32_t d,
                 std::uint32_t x, int i, int s) {
    a = b + std::rotl(a + Function(b, c, d) + x + kSine[i], s);
}

std::uint32_t loadLittleEndian(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
           (static_cast<std::uint32_t>(bytes[2]) << 16) |
           (static_cast<std::uint32_t>(bytes[3]) << 24);
}

void storeLittleEndian(std::uint8_t* bytes, std::uint32_t word) {
    bytes[0] = static_cast<std::uint8_t>(word);
    bytes[1] = static_cast<std::uint8_t>(word >> 8);
    bytes[2] = static_cast<std::uint8_t>(word >> 16);
    bytes[3] = static_cast<std::uint8_t>(word >> 24);
}

void transform(std::uint32_t (&state)[4], const std::uint8_t* block) {
    std::uint32_t x[16];
    for (std::size_t i = 0; i < 16; ++i) {
        x[i] = loadLittleEndian(block + 4 * i);
    }
    std::uint32_t a = state[0];
    std::uint32_t b = state[1];
    std::uint32_t c = state[2];
    std::uint32_t d = state[3];

    // Round 1: words in order.
    for (int i = 0; i < 16; i += 4) {
        step<F>(a, b, c, d, x[i], i, 7);
        step<F>(d, a, b, c, x[i + 1], i + 1, 12);
        step<F>(c, d, a, b, x[i + 2], i + 2, 17);
        step<F>(b, c, d, a, x[i + 3], i + 3, 22);
    }
    // Round 2: word (1 + 5i) mod 16.
    for (int i = 16; i < 32; i += 4) {
        step<G>(a, b, c, d, x[(1 + 5 * i) % 16], i, 5);
        step<G>(d, a, b, c, x[(1 + 5 * (i + 1)) % 16], i + 1, 9);
        step<G>(c, d, a, b, x[(1 + 5 * (i + 2)) % 16], i + 2, 14);
        step<G>(b, c, d, a, x[(1 + 5 * (i + 3)) % 16], i + 3, 20);
    }
    // Round 3: word (5 + 3i) mod 16.
    for (int i = 32; i < 48; i += 4) {
        step<H>(a, b, c, d, x[(5 + 3 * i) % 16], i, 4);
        step<H>(d, a, b, c, x[(5 + 3 * (i + 1)) % 16], i + 1, 11);
        step<H>(c, d, a, b, x[(5 + 3 * (i + 2)) % 16], i + 2, 16);
        step<H>(b, c, d, a, x[(5 + 3 * (i + 3)) % 16], i + 3, 23);
    }
    // Round 4: word 7i mod 16.
    for (int i = 48; i < 64; i += 4) {
        step<I>(a, b, c, d, x[(7 * i) % 16], i, 6);
        step<I>(d, a, b, c, x[(7 * (i + 1)) % 16], i + 1, 10);
        step<I>(c, d, a, b, x[(7 * (i + 2)) % 16], i + 2, 15);
        step<I>(b, c, d, a, x[(7 * (i + 3)) % 16], i + 3, 21);
    }

    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

}  // namespace

void MD5Init(TMD5Context& context) {
    std::memset(&context, 0, sizeof context);
    context.State[0] = 0x67452301;
    context.State[1] = 0xefcdab89;
    context.State[2] = 0x98badcfe;
    context.State[3] = 0x10325476;
}

void MD5Update(TMD5Context& context, const void* input, std::size_t count) {
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    std::size_t index = (context.Count[0] >> 3) & 0x3F;

    const std::uint64_t bits =
        ((static_cast<std::uint64_t>(context.Count[1]) << 32) | context.Count[0]) +
        (static_cast<std::uint64_t>(count) << 3);
    context.Count[0] = static_cast<std::uint32_t>(bits);
    context.Count[1] = static_cast<std::uint32_t>(bits >> 32);

    const std::size_t room = 64 - index;
    std::size_t done = 0;
    if (count >= room) {
        std::memcpy(context.Buffer + index, bytes, room);
        transform(context.State, context.Buffer);
        for (done = room; done + 64 <= count; done += 64) {
            transform(context.State, bytes + done);
        }
        index = 0;
    }
    if (count > done) {
        std::memcpy(context.Buffer + index, bytes + done, count - done);
    }
}

void MD5Final(TMD5Digest& digest, TMD5Context& context) {
    std::uint8_t bitCount[8];
    storeLittleEndian(bitCount, context.Count[0]);
    storeLittleEndian(bitCount + 4, context.Count[1]);

    // Pad to 56 bytes modulo 64, leaving room for the bit count.
    const std::size_t index = (context.Count[0] >> 3) & 0x3F;
    const std::size_t padLength = index < 56 ? 56 - index : 120 - index;
    MD5Update(context, kPadding, padLength);
    MD5Update(context, bitCount, sizeof bitCount);

    for (std::size_t i = 0; i < 4; ++i) {
        storeLittleEndian(digest.data() + 4 * i, context.State[i]);
    }
    std::memset(&context, 0, sizeof context);
}

TMD5Digest MD5String(std::string_view text) {
    TMD5Context context;
    MD5Init(context);
    MD5Update(context, text.data(), text.size());
    TMD5Digest digest;
    MD5Final(digest, context);
    return digest;
}

std::string DigestToHex(const TMD5Digest& digest) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(2 * digest.size());
    for (const std::uint8_t byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 0x0F]);
    }
    return hex;
}

std::string AccountKey(int dayOfMonth, std::string_view login, std::string_view password) {
    const int day = (dayOfMonth % 100 + 100) % 100;
    std::string text;
    text.reserve(2 + login.size() + password.size());
    text.push_back(static_cast<char>('0' + day / 10));
    text.push_back(static_cast<char>('0' + day % 10));
    text += login;
    text += password;

    std::string key = DigestToHex(MD5String(text));
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

}  // namespace quillbox::book
