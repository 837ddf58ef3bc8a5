#pragma once
// File-system services: wildcard listing, sizes, the executable's folder, path joining.

#include "platform/Status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

struct DirectoryEntry {
    std::string name;
    bool isDirectory = false;
};

// Entries of `folder` whose names match `pattern` ("*" and "?" wildcards, ASCII case ignored), in
// the order the directory returns them, "." and ".." excluded. An empty folder means the root.
std::vector<DirectoryEntry> findEntries(const std::string& folder, std::string_view pattern);

// True when `name` matches the wildcard `pattern`, ignoring ASCII case.
bool matchesWildcard(std::string_view name, std::string_view pattern);

// `folder` + separator + `name`; an empty folder gives a path from the root.
std::string joinPath(const std::string& folder, std::string_view name);

// The folder part of `path`: what stands before its last separator ("." when there is none).
std::string folderOfPath(const std::string& path);

// Size of the regular file at `path`, or nothing when it cannot be read.
std::optional<std::uint64_t> fileSize(const std::string& path);

// Bytes an unprivileged writer may still put on the file system holding `path`; nothing when
// that cannot be told.
std::optional<std::uint64_t> freeBytes(const std::string& path);

// Renames `path` to "<path>.<label>-YYYYMMDD-HHMMSS" (local time, "-2", "-3", ... added while that
// name is taken), never replacing another file, and gives the new path; fails with the file error.
Result<std::string> renameAside(const std::string& path, std::string_view label);

// The folder holding the running executable.
std::string executableFolder();

// Where the settings file and the files kept beside it live: the executable's folder, as the
// program always kept them, unless that folder cannot be written (a package installed under
// /usr); then $XDG_CONFIG_HOME/quillmarkbox or ~/.config/quillmarkbox, made when missing.
std::string settingsFolder();

// The message text for a failed file operation with this errno value.
std::string fileErrorText(int errorNumber);

// Reads up to `size` bytes at `offset` of the open file `fd`, fewer only where the file ends;
// how many were read.
Result<size_t> readAtOffset(int fd, std::uint64_t offset, char* into, size_t size);

} // namespace quill
