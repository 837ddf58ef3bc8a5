#pragma once
// Replacing the running program: the executable is moved aside, the package unpacked, and a
// detached clean-up script deletes the old executable once the program has ended, then starts
// the new one.

#include "platform/Status.h"

#include <string>
#include <string_view>

namespace quill {

inline constexpr std::string_view kOldExecutableName = "Harrowlog.tmp";
inline constexpr std::string_view kNewExecutableName = "Quillmarkbox.exe";
inline constexpr std::string_view kCleanupBatchName = "$del$.bat";

enum class ReplaceOutcome {
    NoPackage,      // nothing downloaded to install
    RenameFailed,   // the running executable could not be moved aside
    PackageBroken,  // the package held no new executable; the old one is back in place
    CleanupFailed,  // the clean-up could not be written or started; the old one is back in place
    Started,        // the clean-up script runs and the program should end
};

// The seven lines of the clean-up batch, each ended by CR LF.
std::string cleanupBatchText();

// Writes the batch into `folder` and starts the clean-up beside it: a detached shell at the lowest
// priority, in `folder`, that deletes the old executable until it is gone, starts the new one and
// deletes the batch.
Status writeCleanupBatch(const std::string& folder);

// Moves `executableName` in `folder` aside, unpacks the package over it and starts the clean-up.
// Any earlier leftover of the old executable is deleted first.
ReplaceOutcome replaceExecutable(const std::string& folder, const std::string& executableName);

} // namespace quill
