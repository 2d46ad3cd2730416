#pragma once
// Keeps exceptions inside a library. Every extern "C" export runs its body
// through guardExport, which turns anything thrown into the export's failure
// result: an exception must never unwind into the program through a C call.

#include <type_traits>
#include <utility>

namespace quillbox {

// Returns body(), or onFailure when body throws anything at all. body's result
// must convert to Code.
template <typename Code, typename Body>
Code guardExport(Code onFailure, Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (...) {
        return onFailure;
    }
}

// For an export without a result: runs body and drops whatever it throws.
template <typename Body>
void guardExport(Body&& body) noexcept {
    static_assert(std::is_void_v<std::invoke_result_t<Body&&>>,
                  "an export with a result passes its failure result first");
    try {
        std::forward<Body>(body)();
    } catch (...) {
    }
}

}  // namespace quillbox
