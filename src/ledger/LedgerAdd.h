#pragma once
// Adding logs to the ledger without ever counting a line twice: a file already read adds nothing,
// a file that grew adds the lines after the place it was read to, a file whose head changed is a
// new file. Each file is added in one transaction.

#include "ledger/Ledger.h"
#include "verify/CrawlerVerifier.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quill {

struct AddOptions {
    bool verify = false;          // the crawler check: fakes are kept as fakes
    VerifierOptions verifier;     // its DNS
    std::string verdictCachePath; // known verdicts, shared with the other checks; empty: none
    // Runs at each step of a file's write (tests end the process there).
    std::function<void(WriteStage)> writeStage;
};

enum class AddOutcome {
    Added,  // a file the ledger did not know
    Grew,   // the lines after the place it had been read to
    Known,  // nothing new
    Shrunk, // shorter than what was read from it: nothing added
    Failed, // could not be read; nothing added
};

struct AddedFile {
    std::string path;
    AddOutcome outcome = AddOutcome::Known;
    std::uint64_t lines = 0; // data lines added
    std::string error;       // GBK, for Failed
};

// Adds each path: a log file or archive, or a folder whose log files are added in name order.
// `report` runs once per file, after it. A file that cannot be read is reported and skipped; a
// failure of the ledger itself (busy, full disk) ends the add with it, the file it was writing
// left out whole. Once `stop` is set no further file is started.
Status addLogs(Ledger& ledger, const std::vector<std::string>& paths, const AddOptions& options,
               const std::atomic<bool>& stop, const std::function<void(const AddedFile&)>& report);

// "新增 1,234 行" and the like, in GBK.
std::string addedFileText(const AddedFile& file);

} // namespace quill
