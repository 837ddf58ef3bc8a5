#include "platform/ReplacementFile.h"

#include "platform/CodePage.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

constexpr mode_t kAnyWrite = S_IWUSR | S_IWGRP | S_IWOTH;

std::string absolutePath(const std::string& path)
{
    if (!path.empty() && path.front() == '/')
        return path;
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer))
        return path;
    return std::string(buffer) + "/" + path;
}

// A name no other writer picks: the process id, a counter and a random number.
std::string uniqueSuffix()
{
    static std::atomic<unsigned> counter{0};
    static thread_local std::mt19937 random{std::random_device{}()};
    return "." + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(random() % 1000000) + ".tmp";
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

} // namespace

std::optional<long> temporaryFileOwner(std::string_view name)
{
    if (!name.ends_with(".tmp"))
        return std::nullopt;
    name.remove_suffix(4);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::nullopt;
    const std::string_view suffix = name.substr(dot + 1);
    // Three runs of digits joined by two dashes.
    long numbers[3] = {};
    size_t at = 0;
    for (int part = 0; part < 3; ++part) {
        const size_t start = at;
        long value = 0;
        while (at < suffix.size() && suffix[at] >= '0' && suffix[at] <= '9' && at - start < 18)
            value = value * 10 + (suffix[at++] - '0');
        if (at == start || (part < 2 && (at >= suffix.size() || suffix[at++] != '-')))
            return std::nullopt;
        numbers[part] = value;
    }
    if (at != suffix.size() || numbers[0] <= 0)
        return std::nullopt;
    return numbers[0];
}

void removeLeftoverTemporaryFiles(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir)) {
        const std::optional<long> owner = temporaryFileOwner(entry->d_name);
        if (!owner || *owner == getpid())
            continue;
        // A process that still runs may still be writing it (EPERM: it runs under another user).
        if (kill(static_cast<pid_t>(*owner), 0) == 0 || errno == EPERM)
            continue;
        const std::string path = folder + "/" + entry->d_name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            unlink(path.c_str());
    }
    closedir(dir);
}

std::string unableToWriteText(const std::string& path)
{
    // File names are UTF-8 bytes here; messages are GBK.
    return "Unable to write to " + utf8ToGbk(absolutePath(path));
}

ReplacementFile::ReplacementFile(std::string path, bool flushToDisk)
    : m_path(std::move(path)), m_target(m_path), m_flushToDisk(flushToDisk)
{
    // Writing through a link replaces the file it names, not the link.
    char resolved[PATH_MAX];
    if (realpath(m_path.c_str(), resolved))
        m_target = resolved;

    struct stat existing {};
    const bool exists = stat(m_target.c_str(), &existing) == 0;
    if (exists && (!S_ISREG(existing.st_mode) || (existing.st_mode & kAnyWrite) == 0 ||
                   access(m_target.c_str(), W_OK) != 0)) {
        m_failed = true;
        return;
    }
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_tempPath = m_target + uniqueSuffix();
        m_fd = open(m_tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        m_tempPath.clear(); // not ours
        m_failed = true;
        return;
    }
    if (exists && fchmod(m_fd, existing.st_mode & 07777) != 0)
        m_failed = true;
}

ReplacementFile::~ReplacementFile()
{
    if (m_fd >= 0)
        close(m_fd);
    if (!m_tempPath.empty())
        unlink(m_tempPath.c_str());
}

bool ReplacementFile::write(std::string_view bytes)
{
    if (!m_failed && (m_fd < 0 || !writeAll(m_fd, bytes)))
        m_failed = true;
    return !m_failed;
}

Status ReplacementFile::finish()
{
    if (!m_failed && m_fd >= 0) {
        const bool synced = !m_flushToDisk || fsync(m_fd) == 0;
        const bool closed = close(m_fd) == 0;
        m_fd = -1;
        m_failed = !synced || !closed;
    }
    if (m_failed || m_tempPath.empty()) {
        m_failed = true;
        return Status::failure(unableToWriteText(m_path));
    }
    return Status();
}

Status ReplacementFile::commit()
{
    if (Status finished = finish(); !finished)
        return finished;
    if (rename(m_tempPath.c_str(), m_target.c_str()) != 0) {
        m_failed = true;
        return Status::failure(unableToWriteText(m_path));
    }
    m_tempPath.clear();
    return Status();
}

} // namespace quill
