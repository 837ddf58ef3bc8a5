#pragma once
// Verdicts already known: those of this run, and those of earlier runs kept in a cache file beside
// the settings file, so a second look at the same logs asks the DNS nothing.

#include "crawlers/CrawlerRegistry.h"
#include "platform/Status.h"
#include "verify/Verdict.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace quill {

// Entries of the file older than this are checked again.
inline constexpr std::int64_t kVerdictLifetimeSeconds = 7 * 24 * 3600;

// The most of a cache file that is read; a longer file is no cache of ours, and its rest is ignored.
inline constexpr std::uint64_t kLargestVerdictCache = std::uint64_t{64} << 20;

class VerdictCache {
public:
    // `path` empty: this run only. The file is read at once; a missing file, one that is no
    // regular file (a FIFO, a device), lines that do not parse and time stamps that are not
    // within the lifetime before `now` give no entries.
    explicit VerdictCache(std::string path = {}, std::int64_t now = 0);

    // The verdict known for `address` (canonical text) and `crawler`, if still fresh at `now`.
    std::optional<Verdict> find(const std::string& address, CrawlerId crawler, std::int64_t now) const;

    // Remembers 已验证 and 伪装, which save() also keeps in the file; other verdicts are dropped.
    void remember(const std::string& address, CrawlerId crawler, Verdict verdict, std::int64_t now);

    // Merges the fresh entries with those the file holds now (another run may have saved since
    // it was read; the later check of an address wins), writes them beside the file and renames
    // them over it, all under a lock that other saves wait for. Without a path, or when nothing
    // new was remembered since the file was read, nothing is written.
    Status save(std::int64_t now) const;

    size_t size() const { return m_entries.size(); }
    const std::string& path() const { return m_path; }

private:
    struct Entry {
        Verdict verdict;
        std::int64_t checkedAt; // seconds since 1970
    };
    using Entries = std::unordered_map<std::string, Entry>;
    static std::string key(const std::string& address, CrawlerId crawler);
    // The fresh entries of the file open on `fd`.
    static Entries readEntries(int fd, std::int64_t now);

    std::string m_path;
    Entries m_entries;
    bool m_changed = false;
};

// Seconds since 1970 now.
std::int64_t secondsNow();

} // namespace quill
