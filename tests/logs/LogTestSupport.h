#pragma once
// Helpers for log tests: load bytes as a file and read back what the record list shows.

#include "logs/LogAnalysis.h"
#include "logs/RowTexts.h"
#include "support/LogFixtures.h"
#include "support/TempFolder.h"

#include <csignal>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace quill::test {

// Every row of the record list, each as its 17 column texts.
inline std::vector<std::vector<std::string>> shownRows(const LogAnalysis& analysis)
{
    std::vector<std::vector<std::string>> rows;
    for (std::uint32_t row = 0; row < analysis.store().count(); ++row) {
        auto texts = rowTexts(analysis.store(), row);
        rows.emplace_back(texts.begin(), texts.end());
    }
    return rows;
}

// The texts of one column, top to bottom.
inline std::vector<std::string> columnTexts(const LogAnalysis& analysis, int column)
{
    std::vector<std::string> texts;
    for (std::uint32_t row = 0; row < analysis.store().count(); ++row)
        texts.push_back(cellText(analysis.store(), row, column));
    return texts;
}

// Writes `bytes` to a file and loads it into `analysis`.
inline LogAnalysis::LoadResult loadBytes(LogAnalysis& analysis, const TempFolder& folder, const std::string& bytes,
                                         const FilterSnapshot& filters = {}, const std::string& name = "ex.log")
{
    return analysis.load(folder.write(name, bytes), filters);
}

// Loads `bytes` through a pipe, as a file that cannot be mapped is read.
inline LogAnalysis::LoadResult loadThroughPipe(LogAnalysis& analysis, const TempFolder& folder,
                                               const std::string& bytes, const FilterSnapshot& filters = {})
{
    std::signal(SIGPIPE, SIG_IGN); // the reader stops early at an end mark
    const std::string path = folder.file("pipe.log");
    mkfifo(path.c_str(), 0600);
    std::thread writer([&] { std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size())); });
    auto result = analysis.load(path, filters);
    writer.join();
    return result;
}

} // namespace quill::test
