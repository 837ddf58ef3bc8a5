#pragma once
// Reads one log file into the record store: header lines switch the format and field map, data
// lines go through the keep test, kept lines become records in file order.

#include "logs/FieldMap.h"
#include "logs/FilterSnapshot.h"
#include "logs/RecordStore.h"
#include "logs/TextArena.h"
#include "logsource/LogSource.h"
#include "logsource/ReadLimits.h"
#include "platform/Status.h"

#include <cstdint>
#include <memory>
#include <string>

namespace quill {

// What a load found at its path. No file there (missing, or a folder) is not an error: the list
// just stays empty.
enum class LogFile { Read, Missing };

// How far a load goes before it gives up with a message rather than run out of memory or ids.
struct LoadLimits {
    size_t lineBytes = kMaxLineBytes; // a longer line fails the load, in a file as in a stream
    std::uint32_t fieldMaps = std::uint32_t(1) << 24; // distinct field maps a record can name
};

// "More than `limit` different field layouts ("#Fields" lines) in one file".
std::string tooManyLayoutsText(std::uint32_t limit);

// Where a load to be followed stopped in its file.
struct ReadEnd {
    bool followable = false; // a plain file read to its last whole line (no pipe, no archive, no end mark)
    FileIdentity file;
    std::uint64_t offset = 0; // just after the last whole line read
};

// Replaces the store's records with the kept records of the file at `path`. `format` and `map`
// carry the header state in and out. On failure the store is left empty. Memory of the store's
// previous text goes through `cache` (when given) to be written again. Given `end`, the load is
// one to be followed: it reads whole lines only, leaving a last line that is still being written
// for later, and says in `end` where it stopped.
Result<LogFile> readLogFile(const std::string& path, const FilterSnapshot& filters, LogFormat& format,
                            FieldMap& map, RecordStore& store, const std::shared_ptr<RegionCache>& cache = nullptr,
                            const LoadLimits& limits = {}, ReadEnd* end = nullptr);

} // namespace quill
