#include "update/SelfReplacement.h"

#include "platform/FileSystem.h"
#include "platform/ReplacementFile.h"
#include "update/DownloadLoop.h"
#include "update/UnpackPackage.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill {
namespace {

// A name as one word of a POSIX shell command.
std::string shellQuoted(std::string_view text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// What the batch does, for a POSIX shell. The new program must not start while the old one still
// runs (it writes the settings file as it ends), so the script first waits for the old process,
// for a minute at most. An open file can always be deleted here, so the second loop only waits out
// a file that cannot be deleted at all. The script runs at normal priority, which the program it
// starts inherits.
std::string cleanupScript(std::string_view executableName, pid_t programPid)
{
    return "n=0\n"
           "while kill -0 " + std::to_string(programPid) + " 2>/dev/null && [ $n -lt 600 ]; do\n"
           "  sleep 0.1\n"
           "  n=$((n+1))\n"
           "done\n"
           "n=0\n"
           "while [ -e Harrowlog.tmp ] && [ $n -lt 60 ]; do\n"
           "  rm -f Harrowlog.tmp || sleep 1\n"
           "  n=$((n+1))\n"
           "done\n"
           "./" + shellQuoted(executableName) + " </dev/null >/dev/null 2>&1 &\n"
           "rm -f '$del$.bat'\n";
}

bool exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Starts the clean-up script detached from this process (a grandchild, adopted by init), so it
// outlives the program and leaves no zombie behind.
Status startCleanupShell(const std::string& folder, const std::string& script)
{
    // Everything the child needs is prepared before fork: only async-signal-safe calls follow.
    const char* const argv[] = {"/bin/sh", "-c", script.c_str(), nullptr};
    const pid_t child = fork();
    if (child < 0)
        return Status::failure("Unable to start the clean-up: " + fileErrorText(errno));
    if (child == 0) {
        setsid();
        if (fork() != 0)
            _exit(0);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        if (chdir(folder.c_str()) != 0)
            _exit(127);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return Status();
}

// Gives the running executable its second name while it keeps its first: a hard link, or a copy
// where the file system has none.
bool setAside(const std::string& running, const std::string& old)
{
    if (link(running.c_str(), old.c_str()) == 0)
        return true;
    if (errno == ENOENT)
        return false;
    const int fd = open(running.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ReplacementFile copy(old);
    char buffer[65536];
    ssize_t got = 0;
    while ((got = read(fd, buffer, sizeof buffer)) > 0 || (got < 0 && errno == EINTR))
        if (got > 0 && !copy.write(std::string_view(buffer, static_cast<size_t>(got))))
            break;
    close(fd);
    return got == 0 && copy.commit().ok();
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

Status writeCleanupBatch(const std::string& folder, std::string_view executableName, pid_t programPid)
{
    ReplacementFile batch(joinPath(folder, kCleanupBatchName));
    batch.write(cleanupBatchText());
    if (Status written = batch.commit(); !written)
        return written;
    return startCleanupShell(folder, cleanupScript(executableName, programPid));
}

ReplaceOutcome replaceExecutable(const std::string& folder, const std::string& executableName,
                                 const ReplaceOptions& options)
{
    const auto step = [&](ReplaceStep next) {
        if (options.beforeStep)
            options.beforeStep(next);
    };
    const std::string oldExecutable = joinPath(folder, kOldExecutableName);
    const std::string package = joinPath(folder, kPackageName);
    const std::string running = joinPath(folder, executableName);

    step(ReplaceStep::RemoveLeftover);
    // A leftover of an earlier update is only deleted while it is not the only copy.
    if (exists(running))
        std::remove(oldExecutable.c_str());
    if (!exists(package))
        return ReplaceOutcome::NoPackage;

    step(ReplaceStep::StageProgram);
    UnpackOptions unpack;
    unpack.programNames = {std::string(kNewExecutableName), executableName};
    unpack.programPath = running;
    StagedPackage staged = stagePackage(folder, std::string(kPackageName), unpack);
    if (staged.result != UnpackResult::Unpacked || !staged.program) {
        std::remove(package.c_str());
        return ReplaceOutcome::PackageBroken;
    }

    step(ReplaceStep::SetOldAside);
    if (!setAside(running, oldExecutable))
        return ReplaceOutcome::RenameFailed;

    // One rename: at every moment the program's name holds the old program or the new one.
    step(ReplaceStep::RenameIntoPlace);
    if (!staged.program->commit()) {
        std::remove(oldExecutable.c_str());
        return ReplaceOutcome::RenameFailed;
    }

    step(ReplaceStep::CommitFiles);
    staged.commitFiles();

    step(ReplaceStep::RemovePackage);
    std::remove(package.c_str());

    step(ReplaceStep::StartCleanup);
    if (!writeCleanupBatch(folder, executableName, options.programPid ? options.programPid : getpid())) {
        std::rename(oldExecutable.c_str(), running.c_str());
        return ReplaceOutcome::CleanupFailed;
    }
    return ReplaceOutcome::Started;
}

} // namespace quill
