#pragma once
// An open file descriptor, closed when the handle goes.

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

} // namespace quill
