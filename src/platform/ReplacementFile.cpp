#include "platform/ReplacementFile.h"

#include "platform/CodePage.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
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
