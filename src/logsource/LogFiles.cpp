#include "logsource/LogFiles.h"

#include "logsource/ZipSource.h"

#include <algorithm>

namespace quill {
namespace {

inline bool isDigit(char c) { return c >= '0' && c <= '9'; }
inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// <0, 0 or >0 as the digit run starting at a[i] / b[j] compares as a number; advances both.
int compareNumbers(std::string_view a, size_t& i, std::string_view b, size_t& j)
{
    while (i < a.size() && a[i] == '0' && i + 1 < a.size() && isDigit(a[i + 1]))
        ++i;
    while (j < b.size() && b[j] == '0' && j + 1 < b.size() && isDigit(b[j + 1]))
        ++j;
    size_t endA = i, endB = j;
    while (endA < a.size() && isDigit(a[endA]))
        ++endA;
    while (endB < b.size() && isDigit(b[endB]))
        ++endB;
    int order = 0;
    if (endA - i != endB - j)
        order = endA - i < endB - j ? -1 : 1;
    else
        order = a.substr(i, endA - i).compare(b.substr(j, endB - j));
    i = endA;
    j = endB;
    return order;
}

} // namespace

bool naturalLess(std::string_view a, std::string_view b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            if (int order = compareNumbers(a, i, b, j); order != 0)
                return order < 0;
            continue;
        }
        const auto ca = static_cast<unsigned char>(lowerAscii(a[i]));
        const auto cb = static_cast<unsigned char>(lowerAscii(b[j]));
        if (ca != cb)
            return ca < cb;
        ++i;
        ++j;
    }
    if (a.size() - i != b.size() - j)
        return a.size() - i < b.size() - j;
    return a < b; // names equal but for case or leading zeros: still one fixed order
}

std::vector<DirectoryEntry> findLogEntries(const std::string& folder)
{
    std::vector<DirectoryEntry> entries = findEntries(folder, "*.log");
    for (DirectoryEntry& entry : findEntries(folder, "*.log.gz"))
        if (!entry.isDirectory)
            entries.push_back(std::move(entry));
    for (DirectoryEntry& entry : findEntries(folder, "*.zip"))
        if (!entry.isDirectory && zipMayHoldLogs(joinPath(folder, entry.name)))
            entries.push_back(std::move(entry));
    std::sort(entries.begin(), entries.end(),
              [](const DirectoryEntry& x, const DirectoryEntry& y) { return naturalLess(x.name, y.name); });
    return entries;
}

std::string newerLogFile(const std::vector<std::string>& before, const std::vector<std::string>& now,
                         const std::string& current)
{
    std::string newest;
    for (const std::string& name : now) {
        const bool added = std::find(before.begin(), before.end(), name) == before.end();
        if (added && naturalLess(current, name) && (newest.empty() || naturalLess(newest, name)))
            newest = name;
    }
    return newest;
}

} // namespace quill
