#pragma once
// quillmarkbox-cli load --follow: the rows of a log printed as they are written.

#include "cli/CliArgs.h"
#include "logs/LogAnalysis.h"
#include "platform/Status.h"

#include <cstdint>
#include <functional>

namespace quill::cli {

// Follows the last load of `analysis` (one loaded to be followed), printing through `printFrom`
// the rows from a given row on as each batch comes, until SIGINT or SIGTERM (exit 0), the file
// being renamed, removed or replaced (a message, exit 0) or cut short, rewritten or unreadable (a
// message, exit 1). The summary line with every row counted goes to stderr at the end.
int followLoad(const CliArgs& args, LogAnalysis& analysis, std::uint64_t loadMs,
               const std::function<Status(size_t firstRow)>& printFrom);

} // namespace quill::cli
