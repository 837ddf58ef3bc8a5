#pragma once
// Replacing the running program: the new program is unpacked beside it first; only when it is
// complete is the old one set aside and the new one renamed into place. A detached clean-up
// script waits for the program to end, deletes the old executable and starts the new one.

#include "platform/Status.h"

#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace quill {

inline constexpr std::string_view kOldExecutableName = "Harrowlog.tmp";
inline constexpr std::string_view kNewExecutableName = "Quillmarkbox.exe";
inline constexpr std::string_view kCleanupBatchName = "$del$.bat";

enum class ReplaceOutcome {
    NoPackage,      // nothing downloaded to install
    RenameFailed,   // the running executable could not be set aside or replaced; it stays
    PackageBroken,  // the package held no new program or could not be unpacked whole; nothing changed
    CleanupFailed,  // the clean-up could not be written or started; the old program is back in place
    Started,        // the clean-up script runs and the program should end
};

// The moments of a replacement, in order; before each the folder holds a program under its name.
enum class ReplaceStep {
    RemoveLeftover,  // an old executable of an earlier update is deleted
    StageProgram,    // the package is unpacked to temporary files
    SetOldAside,     // the old executable gets its second name
    RenameIntoPlace, // the new program takes the running executable's name
    CommitFiles,     // the package's other files are renamed into place
    RemovePackage,
    StartCleanup,
};

struct ReplaceOptions {
    pid_t programPid = 0; // the process the clean-up waits for; 0: this one
    // Called before each step; tests end the process there to show nothing is ever lost.
    std::function<void(ReplaceStep)> beforeStep;
};

// The seven lines of the clean-up batch, each ended by CR LF.
std::string cleanupBatchText();

// Writes the batch into `folder` and starts the clean-up beside it: a detached shell in `folder`
// that waits (at most a minute) for `programPid` to end, deletes the old executable until it is
// gone, starts `executableName` and deletes the batch.
Status writeCleanupBatch(const std::string& folder, std::string_view executableName, pid_t programPid);

// Installs the program package of `folder` over the running `executableName`: the new program
// takes that name and the old one's permission bits, whatever the package calls it
// ("Quillmarkbox.exe" or the executable's own name).
ReplaceOutcome replaceExecutable(const std::string& folder, const std::string& executableName,
                                 const ReplaceOptions& options = {});

} // namespace quill
