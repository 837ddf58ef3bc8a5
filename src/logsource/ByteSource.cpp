#include "logsource/ByteSource.h"

#include "platform/CodePage.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace quill {
namespace {

// How often a wait looks at the abandon flag.
constexpr int kAbandonCheckMs = 50;

bool endsWithIgnoreCase(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = name[name.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != suffix[i])
            return false;
    }
    return true;
}

bool abandoned(const std::atomic<bool>* abandon) { return abandon && abandon->load(std::memory_order_relaxed); }

} // namespace

bool waitForStream(int fd, int timeoutMs, const std::atomic<bool>* abandon, bool& timedOut)
{
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (abandoned(abandon))
            return false;
        int slice = abandon ? kAbandonCheckMs : timeoutMs;
        if (timeoutMs >= 0) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            slice = static_cast<int>(std::clamp<long long>(left, 0, abandon ? kAbandonCheckMs : timeoutMs));
        }
        if (!waitForBytes(fd, slice, timedOut))
            return false;
        if (!timedOut || (timeoutMs >= 0 && Clock::now() >= deadline))
            return true;
    }
}

FdSource::FdSource(int fd, std::string taken, const std::atomic<bool>* abandon)
    : m_fd(fd), m_taken(std::move(taken)), m_abandon(abandon)
{
}

Result<size_t> FdSource::read(char* into, size_t size)
{
    if (abandoned(m_abandon))
        return Status::failure(kCancelledText);
    if (!m_taken.empty()) {
        const size_t count = std::min(size, m_taken.size());
        std::memcpy(into, m_taken.data(), count);
        m_taken.erase(0, count);
        return count;
    }
    while (true) {
        const ssize_t got = readSome(m_fd, into, size);
        if (got >= 0)
            return static_cast<size_t>(got);
        if (errno != EAGAIN)
            return Status::failure(fileErrorText(errno));
        // A pipe opened without blocking: wait for its writer's next bytes.
        bool timedOut = false;
        if (!waitForStream(m_fd, -1, m_abandon, timedOut))
            return Status::failure(abandoned(m_abandon) ? std::string(kCancelledText) : fileErrorText(errno));
    }
}

ArchiveKind archiveKindOf(std::string_view name)
{
    if (endsWithIgnoreCase(name, ".gz"))
        return ArchiveKind::Gzip;
    if (endsWithIgnoreCase(name, ".zip"))
        return ArchiveKind::Zip;
    return ArchiveKind::None;
}

std::string damagedArchiveText(std::string_view detail)
{
    return gbk("压缩文件已损坏: ") + std::string(detail);
}

} // namespace quill
