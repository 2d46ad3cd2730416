#include "platform/CodePage.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace quillbox::platform {
namespace {

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvHandle = std::unique_ptr<void, IconvCloser>;

IconvHandle openConverter(std::string_view to, std::string_view from) {
    iconv_t handle = iconv_open(std::string(to).c_str(), std::string(from).c_str());
    // Failure is reported as (iconv_t)-1; comparing the handle's integer value
    // avoids making a pointer out of an integer.
    if (reinterpret_cast<std::intptr_t>(handle) == -1) {
        return IconvHandle(nullptr);
    }
    return IconvHandle(handle);
}

enum class OnBadInput { Fail, Replace };

Result<std::string> convert(std::string_view input, std::string_view to, std::string_view from,
                            OnBadInput onBad) {
    IconvHandle converter = openConverter(to, from);
    if (!converter) {
        return Error{EINVAL, "unknown code page: " + std::string(from) + " -> " + std::string(to)};
    }
    std::string output;
    output.resize(input.size() * 4 + 16);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    std::size_t written = 0;
    while (inLeft > 0) {
        char* out = output.data() + written;
        std::size_t outLeft = output.size() - written;
        const std::size_t result =
            iconv(static_cast<iconv_t>(converter.get()), &in, &inLeft, &out, &outLeft);
        written = output.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            output.resize(output.size() * 2);
            continue;
        }
        // EILSEQ: a character with no place in the target, or an invalid
        // input byte; EINVAL: an incomplete sequence at the end.
        if (onBad == OnBadInput::Fail) {
            return Error{EILSEQ, "text cannot be represented in " + std::string(to)};
        }
        if (written + 1 > output.size()) {
            output.resize(output.size() * 2);
        }
        // Skip one input character: a whole UTF-8 sequence when the input is
        // UTF-8, else one byte.
        std::size_t skip = 1;
        if (from == "UTF-8") {
            const auto lead = static_cast<unsigned char>(*in);
            skip = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (skip > inLeft) {
                skip = inLeft;
            }
            output[written++] = '?';
        }
        in += skip;
        inLeft -= skip;
    }
    output.resize(written);
    return output;
}

}  // namespace

std::string systemAnsiCodePage() {
    const char* configured = std::getenv("QUILLBOX_ANSI_CODEPAGE");
    if (configured != nullptr && *configured != 0) {
        return configured;
    }
    return "WINDOWS-1251";
}

std::string codePageForCharset(int charset) {
    switch (charset) {
        case 0:
            return "WINDOWS-1252";
        case 204:
            return "WINDOWS-1251";
        case 238:
            return "WINDOWS-1250";
        default:
            return systemAnsiCodePage();
    }
}

Result<std::string> toUtf8(std::string_view bytes, std::string_view codePage) {
    return convert(bytes, "UTF-8", codePage, OnBadInput::Fail);
}

Result<std::string> fromUtf8(std::string_view utf8, std::string_view codePage) {
    return convert(utf8, codePage, "UTF-8", OnBadInput::Fail);
}

std::string fromUtf8Lossy(std::string_view utf8, std::string_view codePage) {
    Result<std::string> converted = convert(utf8, codePage, "UTF-8", OnBadInput::Replace);
    return converted ? std::move(converted).value() : std::string();
}

}  // namespace quillbox::platform
