#pragma once
// Checks the fuzzers make on what a parser hands back: a failed check traps,
// which libFuzzer reports as a crash with the input that caused it.

#include <cstddef>
#include <cstring>

namespace quillbox::fuzz {

// A fixed-width text field must hold its terminating zero.
template <std::size_t N>
void requireTerminated(const char (&field)[N]) {
    if (std::memchr(field, 0, N) == nullptr) {
        __builtin_trap();
    }
}

}  // namespace quillbox::fuzz
