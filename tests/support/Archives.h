#pragma once
// Compressed archives made in memory for tests: gzip members and ZIP archives.

#include <string>
#include <utility>
#include <vector>

namespace quill::test {

// `bytes` as one gzip member, compressed at `level`.
std::string gzipBytes(const std::string& bytes, int level = 6);

// A ZIP archive of the given (name, bytes) entries, deflated, in this order.
std::string zipBytes(const std::vector<std::pair<std::string, std::string>>& entries);

} // namespace quill::test
