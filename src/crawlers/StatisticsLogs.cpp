#include "crawlers/StatisticsLogs.h"

#include "logsource/LogFiles.h"
#include "platform/GbkText.h"

#include <algorithm>

namespace quill {

std::string statisticsFolder(const std::string& logFolder)
{
    size_t length = std::min(logFolder.size(), kStatisticsFolderLimit);
    if (!isCharBoundary(logFolder, length))
        --length;
    return logFolder.substr(0, length);
}

bool forEachStatisticsLog(const std::string& logFolder, const std::atomic<bool>& stopRequested,
                          const std::atomic<bool>& abandon, const std::function<bool(const std::string& path)>& readLog,
                          const std::function<void(size_t logs)>& listed)
{
    const std::string folder = statisticsFolder(logFolder);
    const std::vector<DirectoryEntry> entries = findLogEntries(folder);
    if (listed)
        listed(static_cast<size_t>(std::count_if(entries.begin(), entries.end(),
                                                 [](const DirectoryEntry& entry) { return !entry.isDirectory; })));
    for (const DirectoryEntry& entry : entries) {
        if (abandon)
            return false;
        if (entry.isDirectory)
            continue;
        if (!readLog(joinPath(folder, entry.name)))
            return false;
        if (stopRequested)
            break;
    }
    return !abandon;
}

} // namespace quill
