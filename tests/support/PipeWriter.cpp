#include "support/PipeWriter.h"

#include "support/Archives.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill::test {

PipeWriter::PipeWriter(std::string path, std::string bytes, Then then)
    : m_path(std::move(path)), m_bytes(std::move(bytes)), m_then(then)
{
    std::signal(SIGPIPE, SIG_IGN); // a reader may close before it has read everything
    mkfifo(m_path.c_str(), 0600);
    m_thread = std::thread([this] { serve(); });
}

PipeWriter::~PipeWriter()
{
    m_stop = true;
    m_thread.join();
    unlink(m_path.c_str());
}

void PipeWriter::serve()
{
    // Opening without blocking fails until a reader has opened the pipe.
    int fd = -1;
    while (!m_stop && (fd = open(m_path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) < 0 && errno == ENXIO)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (fd < 0)
        return;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bool reading = true;
    do {
        for (size_t written = 0; reading && written < m_bytes.size();) {
            const ssize_t put = write(fd, m_bytes.data() + written, m_bytes.size() - written);
            reading = put > 0;
            written += reading ? static_cast<size_t>(put) : 0;
        }
    } while (m_then == Then::Repeat && reading && !m_stop);
    while (m_then == Then::StayQuiet && !m_stop)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    close(fd);
}

std::string repeatedGzip(const std::string& unit, size_t count)
{
    const std::string member = gzipBytes(unit, 9);
    std::string bytes;
    bytes.reserve(member.size() * count);
    for (size_t i = 0; i < count; ++i)
        bytes += member;
    return bytes;
}

} // namespace quill::test
