#include "update/StagingArea.h"

#include "platform/FileSystem.h"
#include "update/UpdateFailure.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

constexpr std::string_view kStagingPrefix = ".update-";
constexpr std::string_view kPlanName = "plan"; // the commit under way: "+name" added, "=name" replaced

bool isBareName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
           name.find('\0') == std::string_view::npos && name.find('\n') == std::string_view::npos;
}

// The whole file at `path`, never through a symbolic link; empty when it cannot be read.
std::string readNoFollow(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return {};
    std::string text;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size < (1 << 20)) {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
            text.append(buffer, static_cast<size_t>(got));
    }
    close(fd);
    return text;
}

std::vector<std::string> lines(std::string_view text)
{
    std::vector<std::string> result;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        if (end > 0)
            result.emplace_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return result;
}

// Writes `text` to a fresh file at `path` (never through a link, never over anything) and flushes it.
bool writeNewFile(const std::string& path, std::string_view text)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool written = true;
    while (written && !text.empty()) {
        const ssize_t put = ::write(fd, text.data(), text.size());
        if (put < 0 && errno == EINTR)
            continue;
        written = put > 0;
        if (written)
            text.remove_prefix(static_cast<size_t>(put));
    }
    written = fsync(fd) == 0 && written;
    return close(fd) == 0 && written;
}

// The journal replaced as a whole by a rename, so it always holds one complete list.
Status writeJournal(const std::string& folder, const std::vector<std::string>& names)
{
    const std::string journal = joinPath(folder, kJournalName);
    if (names.empty()) {
        unlink(journal.c_str());
        return Status();
    }
    std::string text;
    for (const std::string& name : names)
        text += name + "\n";
    const std::string next = journal + ".new";
    unlink(next.c_str()); // a leftover of our own; the name is ours
    if (!writeNewFile(next, text) || rename(next.c_str(), journal.c_str()) != 0) {
        unlink(next.c_str());
        return updateFailure(UpdateFailure::CannotWrite);
    }
    return Status();
}

std::vector<std::string> readJournal(const std::string& folder)
{
    std::vector<std::string> names;
    for (std::string& name : lines(readNoFollow(joinPath(folder, kJournalName))))
        if (isBareName(name) && name.starts_with(kStagingPrefix))
            names.push_back(std::move(name));
    return names;
}

std::string randomName()
{
    static thread_local std::mt19937_64 random{std::random_device{}()};
    return std::string(kStagingPrefix) + std::to_string(getpid()) + "-" + std::to_string(random() % 1000000000);
}

bool isLink(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

bool exists(const std::string& path)
{
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// Gives `from` the second name `to`: a hard link, or a copy where the file system has none.
bool keepAside(const std::string& from, const std::string& to)
{
    if (link(from.c_str(), to.c_str()) == 0)
        return true;
    std::error_code error;
    return errno != ENOENT && std::filesystem::copy_file(from, to, error) && !error;
}

// Puts back what the plan of the staging folder `staging` had done in `folder`.
void undoPlan(const std::string& folder, const std::string& staging)
{
    const std::string plan = readNoFollow(joinPath(staging, kPlanName));
    for (const std::string& line : lines(plan)) {
        const std::string name = line.substr(1);
        if (!isBareName(name))
            continue;
        const std::string old = joinPath(staging, "old/" + name);
        const std::string target = joinPath(folder, name);
        if (exists(old))
            rename(old.c_str(), target.c_str());
        else if (line.front() == '+' && !exists(joinPath(staging, "new/" + name)) && !isLink(target))
            unlink(target.c_str()); // it had been renamed in
    }
}

} // namespace

StagingArea::StagingArea(std::string folder, std::string name, StagingOptions options)
    : m_folder(std::move(folder)), m_name(std::move(name)), m_options(options)
{
}

Result<std::unique_ptr<StagingArea>> StagingArea::open(const std::string& folder, StagingOptions options)
{
    const std::string name = randomName();
    std::vector<std::string> journal = readJournal(folder);
    journal.push_back(name);
    // Named before it exists: whatever a kill leaves, the next start knows it is ours.
    if (Status written = writeJournal(folder, journal); !written)
        return written;
    const std::string staging = joinPath(folder, name);
    if (mkdir(staging.c_str(), 0700) != 0 || mkdir((staging + "/new").c_str(), 0700) != 0 ||
        mkdir((staging + "/old").c_str(), 0700) != 0) {
        std::error_code ignored;
        std::filesystem::remove_all(staging, ignored);
        journal.pop_back();
        (void)writeJournal(folder, journal);
        return updateFailure(UpdateFailure::CannotWrite);
    }
    return std::unique_ptr<StagingArea>(new StagingArea(folder, name, options));
}

StagingArea::~StagingArea()
{
    std::error_code ignored;
    std::filesystem::remove_all(joinPath(m_folder, m_name), ignored); // links inside are removed, not followed
    std::vector<std::string> journal = readJournal(m_folder);
    std::erase(journal, m_name);
    (void)writeJournal(m_folder, journal);
}

std::string StagingArea::path(std::string_view inStaging) const { return joinPath(m_folder, m_name) + "/" + std::string(inStaging); }

std::string StagingArea::stagedPath(std::string_view name) const { return path("new/" + std::string(name)); }

Status StagingArea::commit(const std::vector<std::string>& names, std::string_view program)
{
    const auto refusal = [&](const std::string& name) {
        return updateFailure(!program.empty() && name == program ? UpdateFailure::CannotReplaceProgram
                                                                   : UpdateFailure::CannotWrite);
    };
    std::string plan;
    std::vector<mode_t> modes;
    for (const std::string& name : names) {
        const std::string target = joinPath(m_folder, name);
        struct stat info {};
        if (lstat(target.c_str(), &info) != 0) {
            plan += "+" + name + "\n";
            modes.push_back(0);
            continue;
        }
        if (S_ISLNK(info.st_mode))
            return updateFailure(UpdateFailure::SymbolicLink);
        // A file marked read-only is kept, as the user or an administrator asked.
        if (!S_ISREG(info.st_mode) || (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ||
            access(target.c_str(), W_OK) != 0)
            return refusal(name);
        plan += "=" + name + "\n";
        modes.push_back(info.st_mode & 07777);
    }
    if (!writeNewFile(path(kPlanName), plan))
        return updateFailure(UpdateFailure::CannotWrite);

    // Every forward step can be made to fail before it is taken, as a full disk would fail it.
    int step = 0;
    const auto attempt = [&](const auto& operation) { return step++ != m_options.failStep && operation(); };
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        const std::string target = joinPath(m_folder, name);
        const std::string staged = stagedPath(name);
        Placed& placed = m_placed.emplace_back(Placed{name});
        if (modes[i] != 0) {
            placed.replaced = chmod(staged.c_str(), modes[i]) == 0 &&
                              attempt([&] { return keepAside(target, path("old/" + name)); });
            if (!placed.replaced) {
                rollBack();
                return refusal(name);
            }
        }
        placed.renamed = attempt([&] { return rename(staged.c_str(), target.c_str()) == 0; });
        if (!placed.renamed) {
            rollBack();
            return refusal(name);
        }
    }
    return Status();
}

void StagingArea::rollBack()
{
    for (auto placed = m_placed.rbegin(); placed != m_placed.rend(); ++placed) {
        if (!placed->renamed)
            continue;
        const std::string target = joinPath(m_folder, placed->name);
        if (placed->replaced)
            rename(path("old/" + placed->name).c_str(), target.c_str());
        else
            unlink(target.c_str());
    }
    m_placed.clear();
    unlink(path(kPlanName).c_str());
}

void StagingArea::complete()
{
    unlink(path(kPlanName).c_str());
    m_placed.clear();
}

void recoverUpdateFolder(const std::string& folder)
{
    for (const std::string& name : readJournal(folder)) {
        const std::string staging = joinPath(folder, name);
        struct stat info {};
        if (lstat(staging.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        undoPlan(folder, staging);
        std::error_code ignored;
        std::filesystem::remove_all(staging, ignored);
    }
    unlink(joinPath(folder, std::string(kJournalName) + ".new").c_str());
    unlink(joinPath(folder, kJournalName).c_str());
}

} // namespace quill
