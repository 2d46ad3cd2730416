#include "tests/book/AllocationProbe.h"

#include <cstddef>
#include <cstdlib>
#include <new>

#include "common/BookTypes.h"

namespace {

bool g_failNothrow = false;
long long g_booksFreed = 0;
long long g_shelvesFreed = 0;

}  // namespace

namespace quillbox::test {

void setNothrowAllocationsFail(bool fail) {
    g_failNothrow = fail;
}
long long bookBlocksFreed() {
    return g_booksFreed;
}
long long shelfBlocksFreed() {
    return g_shelvesFreed;
}

}  // namespace quillbox::test

// The replaced operators allocate with malloc and free with free, so that every
// block, whichever operator made it, is released by the matching call.
void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return block;
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return g_failNothrow ? nullptr : std::malloc(size == 0 ? 1 : size);
}

void operator delete(void* block) noexcept {
    std::free(block);
}

void operator delete(void* block, std::size_t size) noexcept {
    if (block != nullptr && size == sizeof(TBook)) {
        ++g_booksFreed;
    } else if (block != nullptr && size == sizeof(TBookShelf)) {
        ++g_shelvesFreed;
    }
    std::free(block);
}
