#pragma once
// The test program replaces the plain operators new and delete: nothrow
// allocations can be made to fail on demand, and freed shelf and book blocks
// are counted.

namespace quillbox::test {

// While set, every nothrow allocation returns nullptr.
void setNothrowAllocationsFail(bool fail);

// Blocks of the size of a TBook / TBookShelf freed since the program started.
long long bookBlocksFreed();
long long shelfBlocksFreed();

}  // namespace quillbox::test
