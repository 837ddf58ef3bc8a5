#pragma once
// Reads one log file into the record store: header lines switch the format and field map, data
// lines go through the keep test, kept lines become records in file order.

#include "logs/FieldMap.h"
#include "logs/FilterSnapshot.h"
#include "logs/RecordStore.h"
#include "logs/TextArena.h"

#include <memory>

#include <string>

namespace quill {

struct LoadOutcome {
    enum class Kind { Loaded, NoFile, Failed };
    Kind kind = Kind::Loaded;
    std::string error; // the message of a failed read

    static LoadOutcome loaded() { return {}; }
    static LoadOutcome noFile() { return {Kind::NoFile, {}}; }
    static LoadOutcome failed(std::string message) { return {Kind::Failed, std::move(message)}; }
};

// Replaces the store's records with the kept records of the file at `path`. `format` and `map`
// carry the header state in and out. On failure the store is left empty. Memory of the store's
// previous text goes through `cache` (when given) to be written again.
LoadOutcome readLogFile(const std::string& path, const FilterSnapshot& filters, LogFormat& format,
                        FieldMap& map, RecordStore& store, const std::shared_ptr<RegionCache>& cache = nullptr);

} // namespace quill
