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
    explicit ReplacementFile(std::string path);
    // Removes the temporary file unless commit() renamed it.
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // Appends `bytes`; false once anything has failed.
    bool write(std::string_view bytes);
    // Flushes the new bytes to disk and renames them over the destination, keeping its permissions.
    // Error text: "Unable to write to " and the destination's full path.
    Status commit();

private:
    std::string m_path;   // as given, for the message
    std::string m_target; // symbolic links resolved
    std::string m_tempPath;
    int m_fd = -1;
    bool m_failed = false;
};

// "Unable to write to " followed by the full path of `path` as GBK text.
std::string unableToWriteText(const std::string& path);

} // namespace quill
