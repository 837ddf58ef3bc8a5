#pragma once
// Replacing the running program: the package is unpacked into a staging area first; only when it
// is complete is the old program given its second name and every file renamed into place, the
// installed record and the clean-up batch with them. A detached launcher waits for the program to
// end, deletes the old executable and starts the new one; if it cannot be started, every file is
// put back.

#include "platform/Status.h"
#include "update/StagingArea.h"
#include "update/UpdateManifest.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace quill {

inline constexpr std::string_view kOldExecutableName = "Harrowlog.tmp";
inline constexpr std::string_view kNewExecutableName = "Quillmarkbox.exe";
inline constexpr std::string_view kCleanupBatchName = "$del$.bat";

// How long the launcher waits, once the program has begun to exit, for its process to end.
inline constexpr std::chrono::milliseconds kExitWait = std::chrono::seconds(60);

// The moments of a replacement, in order; before each the folder holds a program under its name.
enum class ReplaceStep {
    RemoveLeftover, // an old executable of an earlier update is deleted
    StageProgram,   // the package is unpacked into the staging area
    SetOldAside,    // the old executable gets its second name
    Commit,         // the program, the package's other files, the record and the batch are renamed into place
    StartLauncher,
    RemovePackage,
};

struct ReplaceOptions {
    pid_t programPid = 0; // the process the launcher waits for; 0: this one
    std::chrono::milliseconds exitWait = kExitWait;
    std::string shell = "/bin/sh"; // the launcher's interpreter; tests name one that cannot start
    // Called before each step; tests end the process there to show nothing is ever lost.
    std::function<void(ReplaceStep)> beforeStep;
    StagingOptions staging;
    // The manifest entry of the package, recorded as installed with it; none: nothing recorded.
    std::vector<UpdateEntry> installed;
    int today = 0;
};

// Held while the program runs on after a replacement; releasing it (or the process's end) tells
// the launcher that the program has begun to exit, and only then does its wait begin.
class ProgramExit {
public:
    explicit ProgramExit(int writeEnd) : m_fd(writeEnd) {}
    ~ProgramExit() { release(); }
    ProgramExit(const ProgramExit&) = delete;
    ProgramExit& operator=(const ProgramExit&) = delete;
    void release();

private:
    int m_fd;
};

enum class ReplaceOutcome {
    NoPackage, // nothing downloaded to install
    Failed,    // refused or failed; the old program and its files are in place, the package kept
    Started,   // the launcher waits for the program to exit
};

struct ReplaceResult {
    ReplaceOutcome outcome = ReplaceOutcome::NoPackage;
    Status status;                     // the reason of a failure (failureText)
    std::unique_ptr<ProgramExit> exit; // Started: released when the program begins to exit
};

// The seven lines of the clean-up batch, each ended by CR LF.
std::string cleanupBatchText();

// Installs the program package of `folder` over the running `executableName`: the new program
// takes that name and the old one's permission bits, whatever the package calls it
// ("Quillmarkbox.exe" or the executable's own name).
ReplaceResult replaceExecutable(const std::string& folder, const std::string& executableName,
                                const ReplaceOptions& options = {});

} // namespace quill
