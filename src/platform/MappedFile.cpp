#include "platform/MappedFile.h"

#include "platform/FileSystem.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

// Reading a mapped page past the end of a file that shrank (or one the disk fails to deliver)
// raises SIGBUS. The guard keeps the ranges of the live mappings in a fixed table a signal
// handler can read without locks; a fault inside one of them gets zeros mapped from the faulting
// page to the mapping's end, since a file shrinks from its end, and the read goes on.
constexpr int kSlots = 64;
std::atomic<std::uintptr_t> g_begin[kSlots];
std::atomic<std::uintptr_t> g_end[kSlots];
std::atomic<std::uintptr_t> g_faultPage[kSlots]; // lowest page that read as zeros, 0 for none
std::uintptr_t g_pageSize = 4096;
struct sigaction g_previous {};
std::mutex g_slotMutex;

void onBusError(int signal, siginfo_t* info, void* context)
{
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (int i = 0; i < kSlots; ++i) {
        const std::uintptr_t end = g_end[i].load(std::memory_order_acquire);
        if (address >= g_begin[i].load(std::memory_order_acquire) && address < end) {
            const std::uintptr_t page = address & ~(g_pageSize - 1);
            std::uintptr_t seen = g_faultPage[i].load();
            while ((seen == 0 || page < seen) && !g_faultPage[i].compare_exchange_weak(seen, page)) {
            }
            if (mmap(reinterpret_cast<void*>(page), end - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0)
                != MAP_FAILED)
                return;
        }
    }
    // Not one of ours: whoever handled bus errors before handles this one.
    if ((g_previous.sa_flags & SA_SIGINFO) && g_previous.sa_sigaction) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        sigaction(SIGBUS, &g_previous, nullptr); // the faulting read runs again and ends the process
    }
}

bool installGuard()
{
    static const bool installed = [] {
        g_pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        return sigaction(SIGBUS, &action, &g_previous) == 0;
    }();
    return installed;
}

int takeSlot(const char* data, size_t size)
{
    std::lock_guard lock(g_slotMutex);
    for (int i = 0; i < kSlots; ++i) {
        if (g_end[i].load() == 0) {
            g_faultPage[i].store(0);
            g_begin[i].store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
            g_end[i].store(reinterpret_cast<std::uintptr_t>(data) + size, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void releaseSlot(int slot)
{
    std::lock_guard lock(g_slotMutex);
    g_end[slot].store(0, std::memory_order_release);
    g_begin[slot].store(0, std::memory_order_release);
}

// Windows compared when the file's change time moves: its first and last pages, where a rewrite
// and a cut-and-refill show first, and small windows spread evenly between them.
constexpr size_t kEdgeBytes = 4096;
constexpr size_t kSpreadWindows = 64;
constexpr size_t kSpreadBytes = 64;

// A change time old enough that no later write can still carry the same coarse time stamp.
bool settled(const timespec& changed)
{
    timespec now {};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec - changed.tv_sec >= 2;
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

} // namespace

MappedFile::MappedFile(const char* data, size_t size, int slot, int fd)
    : m_data(data), m_size(size), m_slot(slot), m_fd(fd)
{
}

std::unique_ptr<MappedFile> MappedFile::map(int fd, size_t size)
{
    struct stat info {};
    if (size == 0 || !installGuard() || fstat(fd, &info) != 0)
        return nullptr;
    void* base = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED)
        return nullptr;
    const int slot = takeSlot(static_cast<const char*>(base), size);
    const int copy = slot < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy < 0) {
        if (slot >= 0)
            releaseSlot(slot);
        munmap(base, size);
        return nullptr;
    }
    std::unique_ptr<MappedFile> file(new MappedFile(static_cast<const char*>(base), size, slot, copy));
    if (settled(info.st_ctim))
        file->m_settledChange = info.st_ctim;
    file->takeSamples();
    return file;
}

void MappedFile::takeSamples()
{
    auto add = [this](size_t offset, size_t length) {
        m_windows.emplace_back(offset, length);
        m_samples.append(m_data + offset, length);
    };
    add(0, std::min(kEdgeBytes, m_size));
    for (size_t i = 1; i <= kSpreadWindows && m_size > kSpreadBytes; ++i)
        add(std::min(m_size / (kSpreadWindows + 1) * i, m_size - kSpreadBytes), kSpreadBytes);
    if (m_size > kEdgeBytes)
        add(m_size - kEdgeBytes, kEdgeBytes);
}

bool MappedFile::samplesMatch(size_t prefix) const
{
    const char* saved = m_samples.data();
    for (const auto& [offset, length] : m_windows) {
        if (offset + length <= prefix && std::memcmp(m_data + offset, saved, length) != 0)
            return false;
        saved += length;
    }
    return true;
}

bool MappedFile::faulted() const { return g_faultPage[m_slot].load() != 0; }

size_t MappedFile::readableBytes() const
{
    const std::uintptr_t page = g_faultPage[m_slot].load();
    return page == 0 ? m_size : static_cast<size_t>(page - reinterpret_cast<std::uintptr_t>(m_data));
}

bool MappedFile::keepsBytes(size_t prefix) const
{
    prefix = std::min(prefix, m_size);
    struct stat info {};
    if (fstat(m_fd, &info) != 0 || static_cast<size_t>(info.st_size) < prefix || readableBytes() < prefix)
        return false;
    if (sameTime(info.st_ctim, m_settledChange))
        return true;
    // Changed since: an appending writer leaves the mapped bytes alone, a rewrite does not.
    if (!samplesMatch(prefix) || readableBytes() < prefix)
        return false;
    if (settled(info.st_ctim))
        m_settledChange = info.st_ctim;
    return true;
}

bool MappedFile::copy(size_t offset, size_t size, char* out) const
{
    if (offset > m_size || size > m_size - offset)
        return false;
    const Result<size_t> read = readAtOffset(m_fd, offset, out, size);
    return read.ok() && read.value() == size;
}

MappedFile::~MappedFile()
{
    releaseSlot(m_slot);
    munmap(const_cast<char*>(m_data), m_size);
    close(m_fd);
}

} // namespace quill
