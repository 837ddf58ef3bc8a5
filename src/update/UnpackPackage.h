#pragma once
// Unpacks a downloaded ZIP archive into the program folder, all files or none.

#include "platform/ReplacementFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The most a package may unpack to unless a caller says otherwise.
inline constexpr std::uint64_t kUnpackLimit = std::uint64_t{1} << 30;

enum class UnpackResult {
    Unpacked,     // every file is in place
    NotAnArchive, // the file is no ZIP archive at all; nothing written
    TooLarge,     // the entries declare more bytes than the limit or the free space; nothing written
    Failed,       // damaged archive, an entry larger than it declared, or a failed write; nothing written
};

// Every file entry of a package written to a temporary file beside its destination, waiting to
// be renamed into place.
class StagedPackage {
public:
    UnpackResult result = UnpackResult::Failed;
    // The entry set apart as the program (see stagePackage), or null.
    std::unique_ptr<ReplacementFile> program;
    // The other files, in archive order.
    std::vector<std::unique_ptr<ReplacementFile>> files;

    // Renames every file but the program into place, in archive order, so a later entry of the
    // same name wins.
    bool commitFiles();
};

struct UnpackOptions {
    std::uint64_t limit = kUnpackLimit; // never more than the folder's free space
    // An entry whose bare name is one of these (ignoring ASCII case) is written to a temporary
    // file for `programPath` instead; only the first such entry, later ones are passed over.
    std::vector<std::string> programNames;
    std::string programPath;
};

// Writes every file entry of the archive `folder`/`fileName` to a temporary file for `folder` and
// the last component of its name; folder entries and names that are empty, "." or ".." are passed
// over, so nothing lands outside `folder`. Names the archive does not mark as UTF-8 are GBK and
// converted. Nothing is written when the declared sizes exceed the limit. Unless the result is
// Unpacked, no temporary file is left.
StagedPackage stagePackage(const std::string& folder, const std::string& fileName, const UnpackOptions& options);

// stagePackage, then every file renamed into place.
UnpackResult unpackPackage(const std::string& folder, const std::string& fileName,
                           std::uint64_t limit = kUnpackLimit);

// The last component of a GBK name, cut only between whole characters, as a file-system
// (UTF-8) name; empty when it is empty, "." or "..".
std::string bareGbkFileName(std::string_view gbkName);

} // namespace quill
