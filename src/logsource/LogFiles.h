#pragma once
// The log files of a folder as both pages list them: "*.log", "*.log.gz" and "*.zip" archives
// that hold logs, sorted by name the way people read names.

#include "platform/FileSystem.h"

#include <string>
#include <string_view>
#include <vector>

namespace quill {

// Name order ignoring ASCII case, with runs of digits compared as numbers: "ex9" before "ex10".
bool naturalLess(std::string_view a, std::string_view b);

// The log entries of `folder` in natural name order: "*.log" entries of every kind (a folder too,
// as the directory search finds them) and archive files.
std::vector<DirectoryEntry> findLogEntries(const std::string& folder);

// The log file a new listing of the folder adds after `current`, as IIS adds the next day's:
// the last name in `now`, not in `before`, that sorts after `current` in name order; empty when
// there is none.
std::string newerLogFile(const std::vector<std::string>& before, const std::vector<std::string>& now,
                         const std::string& current);

} // namespace quill
