#include "verify/VerdictCache.h"

#include "crawlers/CrawlerTable.h"
#include "platform/CodePage.h"
#include "platform/ReplacementFile.h"
#include "verify/IpAddress.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quill {
namespace {

// One entry a line: address, crawler key, verdict word (GBK), seconds since 1970, TAB-separated.
// Files of earlier versions name crawlers by the crawler table's tokens; those still read.
constexpr char kSeparator = '\t';
constexpr size_t kLongestLine = 256;

bool keptInFile(Verdict verdict)
{
    return verdict == Verdict::Verified || verdict == Verdict::Fake;
}

CrawlerId crawlerOfKey(std::string_view key)
{
    const auto& entries = crawlerRegistry();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].key == key)
            return static_cast<CrawlerId>(i + 1);
    const auto& rows = crawlerTable();
    for (int i = 0; i < kCrawlerRowCount; ++i)
        if (rows[static_cast<size_t>(i)].token == key)
            return crawlerOfRow(i + 1);
    return kNoCrawler;
}

// The cache file, open and locked while one run reads, merges and replaces it. A waiting run
// that finds the file replaced when its turn comes locks the new one.
class LockedFile {
public:
    explicit LockedFile(int fd) : m_fd(fd) {}
    LockedFile(LockedFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    LockedFile& operator=(LockedFile&&) = delete;
    ~LockedFile()
    {
        if (m_fd >= 0)
            close(m_fd); // which releases the lock
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

Result<LockedFile> lockCacheFile(const std::string& path)
{
    // A save holds the lock for a read and a write of a small file; one stuck for this long is
    // not coming back.
    const auto giveUpAt = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
        const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
        if (fd < 0)
            return Status::failure(unableToWriteText(path));
        LockedFile file(fd);
        struct stat opened {};
        if (fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode))
            return Status::failure(unableToWriteText(path));
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            struct stat current {};
            if (stat(path.c_str(), &current) == 0 && current.st_dev == opened.st_dev && current.st_ino == opened.st_ino)
                return file;
            continue; // replaced while we waited
        }
        if (errno != EWOULDBLOCK && errno != EINTR)
            return Status::failure(unableToWriteText(path));
        if (std::chrono::steady_clock::now() > giveUpAt)
            return Status::failure(gbk("另一个程序正占用验证缓存文件: ") + utf8ToGbk(path));
        // Off the UI thread: a save runs at the end of a check, on its worker or in the command.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find(kSeparator, start)) != std::string_view::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

} // namespace

std::int64_t secondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string VerdictCache::key(const std::string& address, CrawlerId crawler)
{
    return address + kSeparator + std::to_string(crawler);
}

VerdictCache::Entries VerdictCache::readEntries(int fd, std::int64_t now)
{
    Entries entries;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return entries;
    std::string bytes;
    char buffer[65536];
    while (bytes.size() < kLargestVerdictCache) {
        const ssize_t got = read(fd, buffer, std::min<std::uint64_t>(sizeof buffer, kLargestVerdictCache - bytes.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        bytes.append(buffer, static_cast<size_t>(got));
    }
    for (size_t start = 0; start < bytes.size();) {
        const size_t end = std::min(bytes.find('\n', start), bytes.size());
        std::string_view line(bytes.data() + start, end - start);
        start = end + 1;
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.size() > kLongestLine)
            continue;
        const auto fields = splitFields(line);
        if (fields.size() != 4)
            continue;
        const auto address = parseIpAddress(fields[0]);
        const CrawlerId crawler = crawlerOfKey(fields[1]);
        const auto verdict = verdictFromText(fields[2]);
        std::int64_t checkedAt = 0;
        const auto [parsedEnd, error] = std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), checkedAt);
        if (!address || crawler == kNoCrawler || !verdict || !keptInFile(*verdict) || error != std::errc() ||
            parsedEnd != fields[3].data() + fields[3].size())
            continue;
        // Checked in the future or longer ago than the lifetime: no verdict to trust.
        if (checkedAt > now || checkedAt <= now - kVerdictLifetimeSeconds)
            continue;
        entries[key(ipAddressText(*address), crawler)] = Entry{*verdict, checkedAt};
    }
    return entries;
}

VerdictCache::VerdictCache(std::string path, std::int64_t now) : m_path(std::move(path))
{
    if (m_path.empty())
        return;
    // Without blocking: a FIFO in the file's place has no writer to wait for.
    const int fd = open(m_path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return;
    m_entries = readEntries(fd, now);
    close(fd);
}

std::optional<Verdict> VerdictCache::find(const std::string& address, CrawlerId crawler, std::int64_t now) const
{
    auto it = m_entries.find(key(address, crawler));
    if (it == m_entries.end() || now - it->second.checkedAt >= kVerdictLifetimeSeconds)
        return std::nullopt;
    return it->second.verdict;
}

void VerdictCache::remember(const std::string& address, CrawlerId crawler, Verdict verdict, std::int64_t now)
{
    // No answer is no verdict: the next look asks again.
    if (!keptInFile(verdict))
        return;
    m_entries[key(address, crawler)] = Entry{verdict, now};
    m_changed = true;
}

Status VerdictCache::save(std::int64_t now) const
{
    if (m_path.empty() || !m_changed)
        return {};
    Result<LockedFile> locked = lockCacheFile(m_path);
    if (!locked)
        return locked.status();
    Entries merged = readEntries(locked.value().fd(), now);
    for (const auto& [entryKey, entry] : m_entries) {
        const auto [it, added] = merged.try_emplace(entryKey, entry);
        if (!added && it->second.checkedAt <= entry.checkedAt)
            it->second = entry;
    }
    std::string text;
    for (const auto& [entryKey, entry] : merged) {
        if (!keptInFile(entry.verdict) || now - entry.checkedAt >= kVerdictLifetimeSeconds)
            continue;
        const size_t tab = entryKey.find(kSeparator);
        const auto crawler = static_cast<CrawlerId>(std::stoi(entryKey.substr(tab + 1)));
        text += entryKey.substr(0, tab);
        text += kSeparator;
        text += crawlerEntry(crawler).key;
        text += kSeparator;
        text += verdictText(entry.verdict);
        text += kSeparator;
        text += std::to_string(entry.checkedAt);
        text += '\n';
    }
    ReplacementFile file(m_path);
    file.write(text);
    return file.commit();
}

} // namespace quill
