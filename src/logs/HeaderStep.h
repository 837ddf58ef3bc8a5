#pragma once
// The header step: a line that is not a data line may switch the log format or the field map.

#include "logs/FieldMap.h"

#include <string_view>

namespace quill {

// Applies the "#Software:" and "#Fields:" rules of one header candidate, given as the raw line.
// A "#Fields:" line read as IIS or Log Parser starts from a clean map; with no format it changes
// nothing.
void applyHeaderLine(std::string_view rawLine, LogFormat& format, FieldMap& map);

} // namespace quill
