#pragma once
// Why an update step was refused, with the text the updater window shows for it.

#include "platform/Status.h"

#include <string>

namespace quill {

enum class UpdateFailure {
    Download,             // the transfer failed
    TimedOut,             // no data for too long, or the whole transfer took too long
    Unsigned,             // the manifest came without a signature
    BadSignature,         // the signature is not the release key's signature of this manifest
    NoChecksum,           // the manifest gives no exact size and SHA-256 for the file
    SizeMismatch,         // the download is not as long as the manifest says
    HashMismatch,         // the download's SHA-256 is not the manifest's
    BrokenArchive,        // damaged, or an entry larger than it declared
    ProtectedName,        // an item or an archive entry would replace one of the program's own files
    SymbolicLink,         // a symbolic link stands where a file would be written
    NoSpace,              // larger than the free space or the unpacking limit
    CannotWrite,          // a file of the program folder cannot be written or replaced
    CannotReplaceProgram, // the running program cannot be replaced (read-only, missing)
    NoProgram,            // the program package holds no program
    LauncherNotStarted,   // the clean-up that starts the new program could not be started
};

// "升级失败：" and the reason, as GBK text.
std::string failureText(UpdateFailure failure);

// A failed Status carrying failureText(failure).
Status updateFailure(UpdateFailure failure);

// True when `status` failed with one of the texts above (and not, say, a transfer's own message).
bool isUpdateFailure(const Status& status);

} // namespace quill
