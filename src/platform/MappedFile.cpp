#include "platform/MappedFile.h"

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
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
std::atomic<bool> g_faulted[kSlots];
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
            g_faulted[i].store(true);
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
            g_faulted[i].store(false);
            g_begin[i].store(reinterpret_cast<std::uintptr_t>(data), std::memory_order_release);
            g_end[i].store(reinterpret_cast<std::uintptr_t>(data) + size, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

} // namespace

std::unique_ptr<MappedFile> MappedFile::map(int fd, size_t size)
{
    if (size == 0 || !installGuard())
        return nullptr;
    void* base = mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
    if (base == MAP_FAILED)
        return nullptr;
    const int slot = takeSlot(static_cast<const char*>(base), size);
    if (slot < 0) {
        munmap(base, size);
        return nullptr;
    }
    return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const char*>(base), size, slot));
}

bool MappedFile::faulted() const { return g_faulted[m_slot].load(); }

MappedFile::~MappedFile()
{
    {
        std::lock_guard lock(g_slotMutex);
        g_end[m_slot].store(0, std::memory_order_release);
        g_begin[m_slot].store(0, std::memory_order_release);
    }
    munmap(const_cast<char*>(m_data), m_size);
}

} // namespace quill
