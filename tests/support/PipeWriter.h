#pragma once
// A named pipe and the program that writes to it, played by a thread: it waits for a reader, hands
// it the bytes and closes its end, stays connected without a word until it is destroyed, or
// writes the bytes again and again until the reader closes.

#include <atomic>
#include <string>
#include <thread>

namespace quill::test {

class PipeWriter {
public:
    enum class Then { Close, StayQuiet, Repeat };

    // Makes the pipe at `path` and starts waiting for its reader.
    PipeWriter(std::string path, std::string bytes, Then then = Then::Close);
    // Stops waiting or staying and removes the pipe.
    ~PipeWriter();
    PipeWriter(const PipeWriter&) = delete;
    PipeWriter& operator=(const PipeWriter&) = delete;

private:
    void serve();

    std::string m_path;
    std::string m_bytes;
    Then m_then;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// A file of `count` gzip members, each `unit` compressed: a log inside of count * unit.size()
// bytes, made without compressing all of them.
std::string repeatedGzip(const std::string& unit, size_t count);

} // namespace quill::test
