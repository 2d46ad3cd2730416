#pragma once
// Making sure a folder exists, level by level.

#include <string_view>

namespace quillbox::book {

// Makes sure every level of path that ends at a backslash exists, creating the
// missing ones from the first to the last. A trailing backslash is added when
// missing; a forward slash is an ordinary character, so "a/b/" is tested and
// created as one level. Returns false when path is empty (or only "\") or a
// level can be neither found nor created; the levels created so far stay.
bool ForceFolder(std::string_view path);

}  // namespace quillbox::book
