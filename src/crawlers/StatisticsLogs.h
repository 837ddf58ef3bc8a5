#pragma once
// The folder loop of a statistics run, shared by the plain and the verified statistics and the
// command line: which logs of the folder are read, in which order, and when the run ends.

#include <atomic>
#include <functional>
#include <string>

namespace quill {

inline constexpr size_t kStatisticsFolderLimit = 200;

// The run's copy of the log folder: its first 200 bytes, without splitting a GBK character.
std::string statisticsFolder(const std::string& logFolder);

// Hands the path of every log of `logFolder` (cut as statisticsFolder cuts it) to `readLog`, in
// listing order, folders among them left out. `readLog` returns false when `abandon` ended it,
// which ends the run; after each log the run also ends once `stopRequested` is set. False when the
// run was abandoned. `listed`, when set, learns how many logs there are before the first is read.
bool forEachStatisticsLog(const std::string& logFolder, const std::atomic<bool>& stopRequested,
                          const std::atomic<bool>& abandon, const std::function<bool(const std::string& path)>& readLog,
                          const std::function<void(size_t logs)>& listed = {});

} // namespace quill
