#pragma once
// A file written beside its destination and renamed over it only when complete, so the
// destination always holds either its old bytes or all of the new ones.

#include "platform/Status.h"

#include <string>
#include <string_view>

namespace quill {

class ReplacementFile {
public:
    // Opens a temporary file in the folder of `path`. A destination that exists but is not a
    // writable regular file (including one marked read-only, which even an administrator keeps)
    // makes every later call fail.
    // `flushToDisk` false skips the fsync before the rename: for copies of data the program
    // still holds (an export), where a lost write costs only the copy.
    explicit ReplacementFile(std::string path, bool flushToDisk = true);
    // Removes the temporary file unless commit() renamed it.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Appends `bytes`; false once anything has failed.
    bool write(std::string_view bytes);
    // Flushes the new bytes to disk and closes them, so that many files can wait for their commit
    // without holding a descriptor each. Same failure as commit(); commit() does it when not done.
    Status finish();
    // Flushes the new bytes to disk and renames them over the destination, keeping its permissions.
    // Error text: "Unable to write to " and the destination's full path.
    Status commit();

    // The destination as renamed to, symbolic links resolved.
    const std::string& target() const { return m_target; }

private:
    std::string m_path;   // as given, for the message
    std::string m_target; // symbolic links resolved
    std::string m_tempPath; // empty once renamed or removed
    int m_fd = -1;
    bool m_failed = false;
    bool m_flushToDisk = true;
};

// "Unable to write to " followed by the full path of `path` as GBK text.
std::string unableToWriteText(const std::string& path);

} // namespace quill
