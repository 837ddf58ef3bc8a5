#pragma once
// A loaded log read on as it grows. The whole lines appended after the place where the load
// stopped go through the load's header steps and keep test and become records whose text is
// copied out of the file. A file cut short, rewritten, replaced or removed ends the reading.

#include "logs/FieldMap.h"
#include "logs/FilterSnapshot.h"
#include "logs/LogReader.h"
#include "logs/LogRecord.h"
#include "logs/TextArena.h"
#include "platform/Status.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quill {

// Where following a loaded log begins: the file and place the load stopped at, with the header
// state and filters the load had there.
struct FollowStart {
    std::string path;
    ReadEnd end;
    LogFormat format = LogFormat::None;
    FieldMap map;
    std::vector<FieldMap> maps; // the store's maps: a map met later gets the next id
    FilterSnapshot filters;
};

// Records of appended lines, in file order, ready to join the store.
struct FollowBatch {
    std::vector<LogRecord> records;
    std::shared_ptr<TextArena> text; // holds the records' lines
    std::vector<FieldMap> newMaps;   // maps first met in this batch; their ids follow the store's
    std::uint32_t firstNewMap = 0;   // the id of the first of them: the number of maps the store has
    LogFormat format = LogFormat::None;
    FieldMap map;                    // header state after the batch
    std::uint64_t offset = 0;        // just after its last line
};

// Why following ended; None while it goes on.
enum class FollowEnd { None, CutShort, Rewritten, Replaced, Gone, Failed };

struct FollowStep {
    FollowEnd end = FollowEnd::None;
    bool more = false; // more appended bytes wait than the step read
    Status read;       // failed with Failed: why
};

class FollowedLog {
public:
    explicit FollowedLog(FollowStart start, const LoadLimits& limits = {});
    ~FollowedLog();
    FollowedLog(const FollowedLog&) = delete;
    FollowedLog& operator=(const FollowedLog&) = delete;

    // Checks that the file is still the one read, unchanged, then adds to `batch` the records of
    // the whole lines appended since the last step: about `maxBytes` of them at most. A line still
    // being written is left for a later step.
    FollowStep step(FollowBatch& batch, size_t maxBytes);

    std::uint64_t offset() const { return m_offset; }

private:
    struct Reading;
    FollowStep open();
    FollowStep check();
    FollowStep readLines(FollowBatch& batch, std::uint64_t size, size_t maxBytes);
    // Puts the header state and the maps met so far into `batch`.
    void handOver(FollowBatch& batch);
    Result<std::string> window(std::uint64_t from, std::uint64_t to) const;

    FollowStart m_start;
    LoadLimits m_limits;
    std::uint64_t m_offset;
    std::unique_ptr<Reading> m_reading; // once the file is open
    std::string m_head;                 // the file's first bytes, and those before the offset,
    std::string m_tail;                 // as read: a rewrite shows in them
    size_t m_mapsGiven;                 // maps already handed out in batches or known to the store
    bool m_endMark = false;             // an end mark (0x1A) was met: nothing after it counts
};

} // namespace quill
