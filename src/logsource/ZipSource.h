#pragma once
// The "*.log" entries of a ZIP archive read one after another as one text.

#include "logsource/ByteSource.h"

#include <string>

namespace quill {

// Opens the archive on `fd` (which stays the caller's). An archive that cannot be read fails with
// damagedArchiveText; one without a "*.log" entry says so.
Result<std::unique_ptr<ByteSource>> openZipSource(int fd);

// False only for an archive that reads well and holds no "*.log" entry: a damaged one is listed
// with the logs so that its error shows.
bool zipMayHoldLogs(const std::string& path);

} // namespace quill
