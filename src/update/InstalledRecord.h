#pragma once
// The installed record "update.ini" beside the program: the date of every file an update
// installed, so the next check offers only what is newer.

#include "platform/Status.h"
#include "update/StagingArea.h"
#include "update/UpdateManifest.h"

#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline constexpr std::string_view kInstalledRecordName = "update.ini";

// The date an installed entry is recorded with: its own when it is a date, else today's.
std::string installedDateText(const UpdateEntry& entry, int today);

// Stages the installed record of `area`'s folder with the date of each of `entries` set, for a
// commit together with the files it speaks of. Every other section and key is kept.
Status stageInstalledRecord(const StagingArea& area, const std::vector<UpdateEntry>& entries, int today);

} // namespace quill
