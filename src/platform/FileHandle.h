#pragma once
// An open file descriptor, closed when the handle goes, and reading from one.

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace quill {

class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int get() const { return m_fd; }
    // Hands the descriptor over; the handle no longer closes it.
    int release()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

// read(2) that resumes after a signal: the bytes read, 0 at the end, or -1 with errno set.
inline ssize_t readSome(int fd, void* buffer, size_t size)
{
    for (;;) {
        const ssize_t got = read(fd, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// Waits up to `timeoutMs` (-1: without end) until the stream has bytes or has ended; false on an
// error, with errno set.
inline bool waitForBytes(int fd, int timeoutMs, bool& timedOut)
{
    pollfd ready{fd, POLLIN, 0};
    int count;
    while ((count = poll(&ready, 1, timeoutMs)) < 0)
        if (errno != EINTR)
            return false;
    timedOut = count == 0;
    return true;
}

} // namespace quill
