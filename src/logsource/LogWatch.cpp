#include "logsource/LogWatch.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace quill {
namespace {

// File systems whose files other machines write: inotify hears only of this machine's writes.
constexpr std::array<std::uint32_t, 10> kNetworkFileSystems = {
    0x6969,     // NFS
    0x517B,     // SMB
    0xFF534D42, // CIFS
    0xFE534D42, // SMB2
    0x65735546, // FUSE (sshfs and other remote mounts)
    0x01021997, // 9P (folders shared into a virtual machine)
    0x00C36400, // Ceph
    0x5346414F, // AFS
    0x73757245, // Coda
    0x786F4256, // VirtualBox shared folders
};

bool onNetworkFileSystem(const std::string& path)
{
    struct statfs info {};
    if (statfs(path.c_str(), &info) != 0)
        return false;
    const auto type = static_cast<std::uint32_t>(info.f_type);
    return std::find(kNetworkFileSystems.begin(), kNetworkFileSystems.end(), type) != kNetworkFileSystems.end();
}

// Reads a non-blocking descriptor until it is empty.
void drain(int fd)
{
    std::uint64_t count;
    while (read(fd, &count, sizeof count) > 0) {
    }
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

} // namespace

// What a look at the file and its folder finds; any difference from the last look is a change.
struct LogWatch::Look {
    bool fileThere = false;
    struct stat file {};
    struct stat folder {};

    bool sameFile(const Look& other) const
    {
        return fileThere == other.fileThere && file.st_ino == other.file.st_ino && file.st_dev == other.file.st_dev &&
               file.st_size == other.file.st_size && sameTime(file.st_mtim, other.file.st_mtim) &&
               sameTime(file.st_ctim, other.file.st_ctim);
    }
    bool sameFolder(const Look& other) const
    {
        return sameTime(folder.st_mtim, other.folder.st_mtim) && sameTime(folder.st_ctim, other.folder.st_ctim);
    }
};

LogWatch::LogWatch(std::string path, std::string folder, WatchOptions options)
    : m_path(std::move(path)), m_folder(std::move(folder)), m_options(options)
{
    m_options.pollMs = std::clamp(m_options.pollMs, 1, 1000);
}

Result<std::unique_ptr<LogWatch>> LogWatch::watchFile(const std::string& path, WatchOptions options)
{
    std::unique_ptr<LogWatch> watch(new LogWatch(path, folderOfPath(path), options));
    if (Status started = watch->start(); !started)
        return started;
    return watch;
}

Status LogWatch::start()
{
    m_wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0)
        return Status::failure(fileErrorText(errno));
    struct stat info {};
    if (stat(m_path.c_str(), &info) != 0)
        return Status::failure(fileErrorText(errno));
    if (!m_options.poll && !onNetworkFileSystem(m_path))
        m_inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_inotify >= 0) {
        // The folder's entries only: its files' writes would wake us for every other log too.
        const bool watched =
            inotify_add_watch(m_inotify, m_path.c_str(),
                              IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_MOVE_SELF | IN_DELETE_SELF) >= 0 &&
            (m_folderWatch = inotify_add_watch(m_inotify, m_folder.c_str(),
                                               IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE)) >= 0;
        if (!watched) { // out of watches: looking once a second still works
            close(m_inotify);
            m_inotify = -1;
        }
    }
    if (m_inotify < 0)
        m_last = std::make_unique<Look>(look());
    return {};
}

LogWatch::~LogWatch()
{
    if (m_inotify >= 0)
        close(m_inotify);
    if (m_wake >= 0)
        close(m_wake);
}

void LogWatch::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = write(m_wake, &one, sizeof one);
}

LogWatch::Wake LogWatch::wait(int timeoutMs)
{
    if (m_inotify < 0)
        return pollFor(timeoutMs);
    pollfd fds[2] = {{m_wake, POLLIN, 0}, {m_inotify, POLLIN, 0}};
    int ready;
    while ((ready = poll(fds, 2, timeoutMs)) < 0 && errno == EINTR) {
    }
    Wake wake;
    if (ready < 0) { // look at both anyway
        wake.file = wake.folder = true;
        return wake;
    }
    if (fds[0].revents) {
        drain(m_wake);
        wake.woken = true;
    }
    if (fds[1].revents)
        readEvents(wake);
    return wake;
}

void LogWatch::readEvents(Wake& wake)
{
    alignas(inotify_event) char buffer[4096];
    ssize_t got;
    while ((got = read(m_inotify, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            // The folder's events about any entry, the file's own, and an overflow that lost some.
            if (event->wd == m_folderWatch || event->wd < 0)
                wake.folder = true;
            if (event->wd != m_folderWatch)
                wake.file = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

LogWatch::Wake LogWatch::pollFor(int timeoutMs)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        int slice = m_options.pollMs;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            slice = static_cast<int>(std::clamp<long long>(left, 0, slice));
        }
        pollfd woken{m_wake, POLLIN, 0};
        int ready;
        while ((ready = poll(&woken, 1, slice)) < 0 && errno == EINTR) {
        }
        Wake wake;
        if (ready > 0) {
            drain(m_wake);
            wake.woken = true;
        }
        const Look now = look();
        wake.file = !now.sameFile(*m_last);
        wake.folder = !now.sameFolder(*m_last);
        *m_last = now;
        if (wake.woken || wake.file || wake.folder || (timeoutMs >= 0 && Clock::now() >= deadline))
            return wake;
    }
}

LogWatch::Look LogWatch::look() const
{
    Look found;
    found.fileThere = stat(m_path.c_str(), &found.file) == 0;
    if (!found.fileThere)
        found.file = {};
    if (stat(m_folder.c_str(), &found.folder) != 0)
        found.folder = {};
    return found;
}

} // namespace quill
