#pragma once
// Unpacks a downloaded ZIP archive into the program folder.

#include <string>

namespace quill {

// Writes every file entry of the archive `folder`/`fileName` into `folder` under the last
// component of its name, replacing files of that name; folder entries and names that are empty,
// "." or ".." are passed over, so nothing lands outside `folder`. Each file appears whole or not
// at all. The first failure (missing file, not an archive, damaged entry, failed write) ends the
// unpacking; the caller ignores it, so this only says whether every entry was written.
bool unpackPackage(const std::string& folder, const std::string& fileName);

} // namespace quill
