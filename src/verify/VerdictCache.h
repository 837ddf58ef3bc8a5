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

class VerdictCache {
public:
    // `path` empty: this run only. The file is read at once; a missing or unreadable file, and
    // lines that do not parse, give no entries.
    explicit VerdictCache(std::string path = {}, std::int64_t now = 0);

    // The verdict known for `address` (canonical text) and `crawler`, if still fresh at `now`.
    std::optional<Verdict> find(const std::string& address, CrawlerId crawler, std::int64_t now) const;

    // Remembers 已验证 and 伪装, which save() also keeps in the file; other verdicts are dropped.
    void remember(const std::string& address, CrawlerId crawler, Verdict verdict, std::int64_t now);

    // Writes the fresh file entries beside the file and renames them over it. Without a path, or
    // when nothing new was remembered since the file was read, nothing is written.
    Status save(std::int64_t now) const;

    size_t size() const { return m_entries.size(); }
    const std::string& path() const { return m_path; }

private:
    struct Entry {
        Verdict verdict;
        std::int64_t checkedAt; // seconds since 1970
    };
    static std::string key(const std::string& address, CrawlerId crawler);

    std::string m_path;
    std::unordered_map<std::string, Entry> m_entries;
    bool m_changed = false;
};

// Seconds since 1970 now.
std::int64_t secondsNow();

} // namespace quill
