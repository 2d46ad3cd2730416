#include "book/MD5.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <random>
#include <string>

using namespace quillbox::book;

namespace {

std::string md5Hex(std::string_view text) {
    return DigestToHex(MD5String(text));
}

// The reference digest from OpenSSL, in the same upper-case form.
std::string opensslHex(std::string_view text) {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EXPECT_EQ(EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr), 1);
    EXPECT_EQ(EVP_DigestUpdate(context.get(), text.data(), text.size()), 1);
    EXPECT_EQ(EVP_DigestFinal_ex(context.get(), digest, &length), 1);
    TMD5Digest bytes{};
    EXPECT_EQ(length, bytes.size());
    std::copy(digest, digest + bytes.size(), bytes.begin());
    return DigestToHex(bytes);
}

std::string lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

TEST(MD5, MatchesTheReferenceTestSuite) {
    EXPECT_EQ(md5Hex(""), "D41D8CD98F00B204E9800998ECF8427E");
    EXPECT_EQ(md5Hex("a"), "0CC175B9C0F1B6A831C399E269772661");
    EXPECT_EQ(md5Hex("abc"), "900150983CD24FB0D6963F7D28E17F72");
    EXPECT_EQ(md5Hex("message digest"), "F96B697D7CB7938D525A2F31AAF161D0");
    EXPECT_EQ(md5Hex("abcdefghijklmnopqrstuvwxyz"), "C3FCD3D76192E4007DFB496CCA67E13B");
    EXPECT_EQ(md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "D174AB98D277D9F5A5611C2C9F419D9F");
    std::string digits;
    for (int i = 0; i < 8; ++i) {
        digits += "1234567890";
    }
    EXPECT_EQ(md5Hex(digits), "57EDF4A22BE3C955AC49DA2E2107B67A");
}

TEST(MD5, LongTextsAreDigestedWhole) {
    const std::string text301(301, 'q');
    EXPECT_EQ(md5Hex(text301), opensslHex(text301));
    // A longer text must not equal its first 301 characters.
    const std::string text600 = text301 + std::string(299, 'r');
    EXPECT_EQ(md5Hex(text600), opensslHex(text600));
    EXPECT_NE(md5Hex(text600), md5Hex(text301));
}

TEST(MD5, AgreesWithOpenSSLForEveryLengthUpTo2000) {
    std::mt19937 random(20260107);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string text;
    for (std::size_t length = 0; length <= 2000; ++length) {
        text.resize(length);
        for (char& c : text) {
            c = static_cast<char>(byte(random));
        }
        ASSERT_EQ(md5Hex(text), opensslHex(text)) << "length " << length;
    }
}

TEST(MD5, FeedingInPiecesGivesTheSameDigestAndFinalClearsTheContext) {
    const std::string text(1000, 'z');
    for (const std::size_t piece : {1u, 3u, 63u, 64u, 65u, 500u}) {
        TMD5Context context;
        MD5Init(context);
        for (std::size_t at = 0; at < text.size(); at += piece) {
            MD5Update(context, text.data() + at, std::min(piece, text.size() - at));
        }
        TMD5Digest digest;
        MD5Final(digest, context);
        EXPECT_EQ(DigestToHex(digest), opensslHex(text)) << "pieces of " << piece;
        const TMD5Context zero{};
        EXPECT_EQ(std::memcmp(&context, &zero, sizeof context), 0);
    }
}

TEST(AccountKey, IsLowerCaseHexOfTwoDigitDayLoginAndPassword) {
    EXPECT_EQ(AccountKey(7, "reader", "secret"), lower(opensslHex("07readersecret")));
    EXPECT_EQ(AccountKey(17, "reader", "secret"), lower(opensslHex("17readersecret")));
    const std::string key = AccountKey(31, "reader", "secret");
    EXPECT_EQ(key.size(), 32u);
    EXPECT_EQ(key.find_first_not_of("0123456789abcdef"), std::string::npos) << key;
}

TEST(AccountKey, KeepsUpperCaseInputAndDigestsLongInputsWhole) {
    // Lower-casing the login and password is the caller's job.
    EXPECT_EQ(AccountKey(3, "Reader", "Secret"), lower(opensslHex("03ReaderSecret")));
    EXPECT_NE(AccountKey(3, "Reader", "Secret"), AccountKey(3, "reader", "secret"));

    const std::string login(255, 'l');
    const std::string password(255, 'p');
    EXPECT_EQ(AccountKey(28, login, password), lower(opensslHex("28" + login + password)));
}
