#include "update/SelfReplacement.h"

#include "platform/FileSystem.h"
#include "platform/ReplacementFile.h"
#include "update/DownloadLoop.h"
#include "update/InstalledRecord.h"
#include "update/UnpackPackage.h"
#include "update/UpdateFailure.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

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

// What the batch does, for a POSIX shell. Descriptor 3 is a pipe whose other end the program holds
// until it begins to exit; only then does the wait for its process begin (a zombie counts as
// ended), so a box left open for any time never lets the new program start beside the old one.
// An open file can always be deleted here, so the second loop only waits out a file that cannot
// be deleted at all. The script runs at normal priority, which the program it starts inherits.
std::string launcherScript(std::string_view executableName, pid_t programPid, std::chrono::milliseconds exitWait)
{
    const std::string tenths = std::to_string(std::max<std::int64_t>(1, exitWait.count() / 100));
    return "read -r _ <&3\n"
           "exec 3<&-\n"
           "n=0\n"
           "while [ $n -lt " + tenths + " ]; do\n"
           "  s=$(cat /proc/" + std::to_string(programPid) + "/stat 2>/dev/null) || break\n"
           "  case ${s##*) } in Z*) break;; esac\n"
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

bool isRegularFile(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Starts the launcher detached from this process (a grandchild, adopted by init), so it outlives
// the program and leaves no zombie behind; the program keeps the write end of its pipe. A second
// pipe, closed by a successful exec, tells whether the shell started.
std::unique_ptr<ProgramExit> startLauncher(const std::string& folder, const std::string& shell,
                                           const std::string& script)
{
    int exitPipe[2];
    int execPipe[2];
    if (pipe2(exitPipe, O_CLOEXEC) != 0)
        return nullptr;
    if (pipe2(execPipe, O_CLOEXEC) != 0) {
        close(exitPipe[0]);
        close(exitPipe[1]);
        return nullptr;
    }
    // Everything the child needs is prepared before fork: only async-signal-safe calls follow.
    const char* const argv[] = {shell.c_str(), "-c", script.c_str(), nullptr};
    const pid_t child = fork();
    if (child == 0) {
        setsid();
        if (fork() != 0)
            _exit(0);
        // Descriptor 3 becomes the exit pipe, 4 the exec pipe; every other one above 2 is closed.
        const int readEnd = fcntl(exitPipe[0], F_DUPFD, 10);
        const int report = fcntl(execPipe[1], F_DUPFD_CLOEXEC, 10);
        if (readEnd < 0 || report < 0 || dup2(readEnd, 3) < 0 || dup3(report, 4, O_CLOEXEC) < 0)
            _exit(127);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        for (int fd = 5; fd < 1024; ++fd)
            close(fd);
        if (chdir(folder.c_str()) == 0)
            execv(argv[0], const_cast<char* const*>(argv));
        const char failed = 1;
        (void)!write(4, &failed, 1);
        _exit(127);
    }
    close(exitPipe[0]);
    close(execPipe[1]);
    bool started = false;
    if (child > 0) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        char failed = 0;
        ssize_t got = 0;
        while ((got = read(execPipe[0], &failed, 1)) < 0 && errno == EINTR) {
        }
        started = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
    }
    close(execPipe[0]);
    if (!started) {
        close(exitPipe[1]);
        return nullptr;
    }
    return std::make_unique<ProgramExit>(exitPipe[1]);
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

ReplaceResult failed(Status status) { return {ReplaceOutcome::Failed, std::move(status), nullptr}; }

// The package's files, the installed record and the batch, staged for one commit.
Status stageEverything(const StagingArea& area, const std::string& package, const std::string& executableName,
                       const ReplaceOptions& options, std::vector<std::string>& names)
{
    UnpackOptions unpack;
    unpack.programNames = {std::string(kNewExecutableName), executableName};
    unpack.programName = executableName;
    for (std::string& name : protectedNames(executableName))
        if (name != executableName)
            unpack.protectedNames.push_back(std::move(name));
    StagedFiles staged = stagePackage(package, area, unpack);
    if (staged.result != UnpackResult::Unpacked)
        return updateFailure(unpackFailure(staged.result));
    if (!staged.hasProgram)
        return updateFailure(UpdateFailure::NoProgram);
    names = std::move(staged.names);
    if (!options.installed.empty()) {
        if (Status recorded = stageInstalledRecord(area, options.installed, options.today); !recorded)
            return recorded;
        names.emplace_back(kInstalledRecordName);
    }
    ReplacementFile batch(area.stagedPath(kCleanupBatchName));
    batch.write(cleanupBatchText());
    if (!batch.commit())
        return updateFailure(UpdateFailure::CannotWrite);
    names.emplace_back(kCleanupBatchName);
    return Status();
}

} // namespace

void ProgramExit::release()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
}

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

ReplaceResult replaceExecutable(const std::string& folder, const std::string& executableName,
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
    if (isRegularFile(running))
        std::remove(oldExecutable.c_str());
    if (!exists(package))
        return {};

    step(ReplaceStep::StageProgram);
    Result<std::unique_ptr<StagingArea>> opened = StagingArea::open(folder, options.staging);
    if (!opened)
        return failed(opened.status());
    StagingArea& area = *opened.value();
    std::vector<std::string> names;
    if (Status staged = stageEverything(area, package, executableName, options, names); !staged)
        return failed(staged);

    step(ReplaceStep::SetOldAside);
    if (!isRegularFile(running) || !setAside(running, oldExecutable))
        return failed(updateFailure(isRegularFile(running) || !exists(running) ? UpdateFailure::CannotReplaceProgram
                                                                                 : UpdateFailure::SymbolicLink));

    // One rename per file: at every moment the program's name holds the old program or the new one.
    step(ReplaceStep::Commit);
    if (Status committed = area.commit(names, executableName); !committed) {
        std::remove(oldExecutable.c_str());
        return failed(committed);
    }

    step(ReplaceStep::StartLauncher);
    const pid_t waitFor = options.programPid ? options.programPid : getpid();
    std::unique_ptr<ProgramExit> exit =
        startLauncher(folder, options.shell, launcherScript(executableName, waitFor, options.exitWait));
    if (!exit) {
        area.rollBack();
        std::remove(oldExecutable.c_str());
        return failed(updateFailure(UpdateFailure::LauncherNotStarted));
    }

    step(ReplaceStep::RemovePackage);
    std::remove(package.c_str());
    area.complete();
    return {ReplaceOutcome::Started, Status(), std::move(exit)};
}

} // namespace quill
