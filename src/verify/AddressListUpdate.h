#pragma once
// "更新蜘蛛IP表": every published list fetched from its operator (or read from a folder of files
// named as the addresses end), checked, and merged with the lists kept so far. A list that cannot
// be fetched or read never replaces the one kept.

#include "platform/Status.h"
#include "verify/AddressLists.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

namespace quill {

struct ListSource {
    std::string folder; // not empty: read "<folder>/<file name>" instead of downloading
    // Bounds of one download, as the web tools keep them.
    std::chrono::milliseconds connectTimeout{10000};
    std::chrono::milliseconds idleTimeout{10000};
    std::chrono::milliseconds totalTimeout{30000};
    std::size_t maxBytes = std::size_t(32) << 20;
    const std::atomic<bool>* stop = nullptr;
};

enum class ListChangeKind { Added, Changed, Unchanged, Failed };

struct ListChange {
    int index = 0; // into publishedLists()
    ListChangeKind kind = ListChangeKind::Failed;
    size_t added = 0;   // prefixes new in the list
    size_t removed = 0; // prefixes gone from it
    size_t total = 0;   // prefixes the list now has (the kept one's after a failure)
    Status read;         // failed with Failed: why
    bool absent = false; // Failed because the folder holds no file of that name
    std::int64_t date = 0; // of the list now kept; 0 when none is
    bool stale = false;    // the list now kept is older than 30 days
};

struct ListUpdate {
    AddressLists lists;
    std::vector<ListChange> changes; // one per published list reached, in their order
    bool stopped = false;            // the stop flag ended it; lists not reached keep their old state

    bool anyNew() const;
};

// Fetches every published list and merges it into `current`, at time `now`.
ListUpdate updateAddressLists(const AddressLists& current, const ListSource& source, std::int64_t now);

// The lists kept in the file at `path`, updated from `source` and written back (atomically) when
// anything new came; `written` tells whether that write failed.
struct StoredListUpdate {
    ListUpdate update;
    Status written;
};
StoredListUpdate updateAddressListsFile(const std::string& path, const ListSource& source, std::int64_t now);

// One line of the report, GBK: "gptbot.json: +2 -1，共 21 段（2026-12-10）", "... 下载失败：连接超时，保留旧表", ...
std::string listChangeText(const ListChange& change);

// The kept lists at a glance, GBK: "18 个表，3,456 段，最旧 2026-12-01" or "尚未下载蜘蛛IP表"; old lists named.
std::string listsSummaryText(const AddressLists& lists, std::int64_t now);

} // namespace quill
