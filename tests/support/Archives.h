#pragma once
// Compressed archives made in memory for tests: gzip members and ZIP archives.

#include <cstdint>
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

// Hand-made ZIP archives whose directory says what a test wants, true or not.
struct RawZipEntry {
    std::string name;
    std::string data;        // the bytes after the local header (raw deflate)
    std::uint32_t crc = 0;   // of the inflated bytes
    std::uint64_t size = 0;  // declared inflated size
};
// A raw deflate stream of `bytes` and an entry that holds it truthfully.
RawZipEntry deflatedEntry(const std::string& name, const std::string& bytes);
// The entries one after another, then a directory listing them in `order` (indexes into
// `entries`; all of them in file order when empty).
std::string rawZip(const std::vector<RawZipEntry>& entries, const std::vector<size_t>& order = {});
// `count` entries that share one copy of `bytes`: each entry's deflate stream quotes the local
// headers of the entries after it in stored blocks and ends in the shared data, so the archive
// inflates to about `count` times `bytes` (libzip opens it without complaint).
std::string overlappingZip(const std::string& bytes, int count);

} // namespace quill::test
