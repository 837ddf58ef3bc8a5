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
                          const std::atomic<bool>& abandon, const std::function<bool(const std::string& path)>& readLog)
{
    const std::string folder = statisticsFolder(logFolder);
    for (const DirectoryEntry& entry : findLogEntries(folder)) {
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
