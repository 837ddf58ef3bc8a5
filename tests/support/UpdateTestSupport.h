#pragma once
// File checks, forked runs and deadline waits for the updater's tests.

#include "support/Archives.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace quill::test {

// Writes `size` as the uncompressed size of entry number `entry` into its local header and,
// unless `onlyLocalHeader`, into the central directory: an archive that lies about its content.
void setDeclaredSize(const std::string& path, std::size_t entry, std::uint32_t size, bool onlyLocalHeader);

// The names of the entries of `folder` (not of its sub-folders), sorted.
std::vector<std::string> filesIn(const std::string& folder);

// True when something exists at `path` (a dangling link too).
bool fileExists(const std::string& path);

// Runs `body` in a forked child process and returns its exit code (-1 when it did not exit).
// The child ends with `body`'s result, or wherever `body` calls _exit, as a killed program would.
int runInChild(const std::function<int()>& body);

// Polls `done` until it holds or `limit` has passed; its last answer.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10));

} // namespace quill::test
