#pragma once
// quillmarkbox-cli load --jsonl: the rows as JSON lines for other tools.

#include "logs/RecordStore.h"
#include "platform/Status.h"
#include "verify/Verdict.h"

#include <cstddef>
#include <vector>

namespace quill::cli {

// Writes every row in display order from `firstRow` on, one JSON object a line, with each
// record's verdict when `verdicts` (one per record, file order) is given. Rows of a file changed
// since the load are never written.
Status printJsonLines(const RecordStore& store, const std::vector<Verdict>* verdicts, size_t firstRow = 0);

} // namespace quill::cli
