#pragma once
// A look at a ZIP archive's directory before anything is inflated: a small archive whose entries
// share their compressed data, or declare sizes no compression reaches, would otherwise inflate to
// many gigabytes.

#include "platform/Status.h"

#include <cstdint>
#include <string>
#include <zip.h>

namespace quill {

// Deflate reaches about 1032:1 at best; a declared size beyond this many times the entry's
// compressed size is a lie.
inline constexpr std::uint64_t kMaxInflateRatio = 1100;

// Checks the archive open on `fd` (read with pread; the descriptor stays the caller's) that
// libzip opened as `archive`: every entry's data lies after the previous entry's, in directory
// order, and before the directory; the directory is the one libzip reads; no entry declares more
// than kMaxInflateRatio times its compressed size. So inflating every entry to no more than its
// declared size yields at most kMaxInflateRatio times the file's size. Fails with what was wrong
// (GBK).
Status checkZipLayout(int fd, zip_t* archive);
// The same for the archive at `path`.
Status checkZipLayout(const std::string& path, zip_t* archive);

} // namespace quill
