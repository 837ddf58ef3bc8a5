#include "cli/JsonLinesOutput.h"

#include "cli/CliOutput.h"
#include "logs/LogAnalysis.h"
#include "logs/RecordsJsonLines.h"
#include "platform/OrderedChunks.h"

#include <algorithm>
#include <string_view>

namespace quill::cli {
namespace {

constexpr size_t kRowsPerChunk = 8192;

} // namespace

Status printJsonLines(const RecordStore& store, const std::vector<Verdict>* verdicts, size_t firstRow)
{
    widenStdoutPipe();
    std::vector<std::string_view> verdictWords;
    if (verdicts) {
        verdictWords.reserve(verdicts->size());
        for (Verdict verdict : *verdicts)
            verdictWords.push_back(verdictText(verdict));
    }
    firstRow = std::min<size_t>(firstRow, store.count());
    OrderedChunks job;
    job.format = [&](size_t index, std::string& out) {
        const size_t begin = firstRow + index * kRowsPerChunk;
        appendJsonLines(store, begin, std::min<size_t>(store.count(), begin + kRowsPerChunk), verdictWords, out);
    };
    // Each chunk is checked after its texts were taken and before it is written.
    job.deliver = [&store](const std::string& chunk) {
        if (!store.showsLoadedBytes())
            return Status::failure(fileChangedText());
        return writeStdout(chunk);
    };
    return runOrderedChunks((store.count() - firstRow + kRowsPerChunk - 1) / kRowsPerChunk, job);
}

} // namespace quill::cli
