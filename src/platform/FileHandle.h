#pragma once
// An open file descriptor, closed when the handle goes, and reading from one.

#include <cerrno>
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

} // namespace quill
