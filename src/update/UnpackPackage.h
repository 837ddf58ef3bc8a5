#pragma once
// Unpacks a downloaded ZIP archive into the program folder, all files or none.

#include "update/StagingArea.h"
#include "update/UpdateFailure.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The most a package may unpack to unless a caller says otherwise.
inline constexpr std::uint64_t kUnpackLimit = std::uint64_t{1} << 30;

enum class UnpackResult {
    Unpacked,      // every file is staged (or, for unpackPackage, in place)
    NotAnArchive,  // the file is no ZIP archive at all; nothing written
    TooLarge,      // the entries declare more bytes than the limit or the free space; nothing written
    Failed,        // damaged archive, an entry larger than it declared, or a failed write; nothing written
    ProtectedName, // an entry would replace one of the program's own files; nothing written
};

struct UnpackOptions {
    std::uint64_t limit = kUnpackLimit; // never more than the folder's free space
    // An entry whose bare name is one of these (ignoring ASCII case) is staged as `programName`;
    // only the first such entry, later ones are passed over.
    std::vector<std::string> programNames;
    std::string programName;
    // An entry whose bare name is one of these (ignoring ASCII case) refuses the whole archive.
    std::vector<std::string> protectedNames;
};

struct StagedFiles {
    UnpackResult result = UnpackResult::Failed;
    std::vector<std::string> names; // the staged files, each once, the program first
    bool hasProgram = false;
};

// Writes every file entry of the archive at `archivePath` into `area`, under the last component
// of its name; folder entries and names that are empty, "." or ".." are passed over, so nothing
// can land outside the folder. Names the archive does not mark as UTF-8 are GBK and converted.
// Nothing is written when the declared sizes exceed the limit or a name is protected; a later
// entry of the same name wins.
StagedFiles stagePackage(const std::string& archivePath, const StagingArea& area, const UnpackOptions& options);

// Why an archive that did not unpack was refused.
UpdateFailure unpackFailure(UnpackResult result);

// stagePackage of `folder`/`fileName` in a staging area of `folder`, then every file committed.
UnpackResult unpackPackage(const std::string& folder, const std::string& fileName,
                           std::uint64_t limit = kUnpackLimit);

// The last component of a GBK name, cut only between whole characters, as a file-system
// (UTF-8) name; empty when it is empty, "." or "..".
std::string bareGbkFileName(std::string_view gbkName);

} // namespace quill
