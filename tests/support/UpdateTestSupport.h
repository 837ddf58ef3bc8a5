#pragma once
// Archives, file checks and deadline waits for the updater's tests.

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

struct ZipEntry {
    std::string name;     // a name ending in "/" is a folder entry
    std::string bytes;
    bool stored = false;  // uncompressed, so a test can find and damage the bytes
};

// Writes a ZIP archive of `entries` to `path`.
void writeZip(const std::string& path, const std::vector<ZipEntry>& entries);

// The bytes of the file at `path`; empty when it cannot be read.
bool fileExists(const std::string& path);

// Polls `done` until it holds or `limit` has passed; its last answer.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10));

} // namespace quill::test
