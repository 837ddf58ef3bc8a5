#pragma once
// Compressed archives made in memory for tests: gzip members and ZIP archives.

#include <string>
#include <vector>

namespace quill::test {

// `bytes` as one gzip member, compressed at `level`.
std::string gzipBytes(const std::string& bytes, int level = 6);

struct ZipEntry {
    std::string name;     // a name ending in "/" is a folder entry
    std::string bytes;
    bool stored = false;  // uncompressed, so a test can find and damage the bytes
};

// Writes a ZIP archive of `entries`, in this order, to `path`.
void writeZip(const std::string& path, const std::vector<ZipEntry>& entries);

// The bytes of such an archive.
std::string zipBytes(const std::vector<ZipEntry>& entries);

} // namespace quill::test
