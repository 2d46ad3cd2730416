#pragma once
// Checks a FictionBook file the way a reader would need it: well-formed XML,
// valid against the FictionBook 2.0 schema in the shared folder, and every
// internal link ("#id") pointing at an element with that id.

#include <string>
#include <vector>

namespace quillbox::test {

// Messages for every problem found in the file at `path`; empty when it is valid.
std::vector<std::string> validateFb2(const std::string& path);

}  // namespace quillbox::test
