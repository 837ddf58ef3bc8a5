#include "update/SelfReplacement.h"

#include "platform/FileSystem.h"
#include "platform/ReplacementFile.h"
#include "update/DownloadLoop.h"
#include "update/UnpackPackage.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill {
namespace {

// What the batch does, for a POSIX shell. An open file can always be deleted here, so the loop
// only waits out a file that cannot be deleted at all, and gives up after a minute.
constexpr const char* kCleanupScript =
    "n=0\n"
    "while [ -e Harrowlog.tmp ] && [ $n -lt 60 ]; do\n"
    "  rm -f Harrowlog.tmp || sleep 1\n"
    "  n=$((n+1))\n"
    "done\n"
    "chmod u+x Quillmarkbox.exe\n"
    "./Quillmarkbox.exe </dev/null >/dev/null 2>&1 &\n"
    "rm -f '$del$.bat'\n";

bool exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Starts the clean-up script detached from this process (a grandchild, adopted by init), so it
// outlives the program and leaves no zombie behind.
Status startCleanupShell(const std::string& folder)
{
    // Everything the child needs is prepared before fork: only async-signal-safe calls follow.
    const char* const argv[] = {"/bin/sh", "-c", kCleanupScript, nullptr};
    const std::string dir = folder;
    const pid_t child = fork();
    if (child < 0)
        return Status::failure("Unable to start the clean-up: " + fileErrorText(errno));
    if (child == 0) {
        setsid();
        if (fork() != 0)
            _exit(0);
        setpriority(PRIO_PROCESS, 0, 19);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return Status();
}

} // namespace

std::string cleanupBatchText()
{
    return ":try2\r\n"
           "del Harrowlog.tmp\r\n"
           "if exist \"Harrowlog.tmp\" goto try2\r\n"
           "Quillmarkbox.exe\r\n"
           "del %0\r\n"
           "cls\r\n"
           "exit\r\n";
}

Status writeCleanupBatch(const std::string& folder)
{
    ReplacementFile batch(joinPath(folder, kCleanupBatchName));
    batch.write(cleanupBatchText());
    if (Status written = batch.commit(); !written)
        return written;
    return startCleanupShell(folder);
}

ReplaceOutcome replaceExecutable(const std::string& folder, const std::string& executableName)
{
    const std::string oldExecutable = joinPath(folder, kOldExecutableName);
    const std::string package = joinPath(folder, kPackageName);
    const std::string running = joinPath(folder, executableName);
    const std::string newExecutable = joinPath(folder, kNewExecutableName);
    std::remove(oldExecutable.c_str());
    if (!exists(package))
        return ReplaceOutcome::NoPackage;
    if (std::rename(running.c_str(), oldExecutable.c_str()) != 0)
        return ReplaceOutcome::RenameFailed;
    std::remove(newExecutable.c_str());
    unpackPackage(folder, std::string(kPackageName));
    std::remove(package.c_str());
    // Without a new executable, or without the clean-up, the program would end with no
    // executable under its own name.
    if (!exists(newExecutable)) {
        std::rename(oldExecutable.c_str(), running.c_str());
        return ReplaceOutcome::PackageBroken;
    }
    if (!writeCleanupBatch(folder)) {
        std::rename(oldExecutable.c_str(), running.c_str());
        return ReplaceOutcome::CleanupFailed;
    }
    return ReplaceOutcome::Started;
}

} // namespace quill
