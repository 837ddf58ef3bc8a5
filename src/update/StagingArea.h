#pragma once
// The updater's only way to change the program folder. New files are written into a private
// staging folder inside it first, then renamed into place together; every file they replace is
// kept aside until the update is complete, so a failure at any rename, or a kill, leaves the old
// version whole. Each staging folder is named in a journal beside the program before it is made,
// and the start-up clean-up removes only what that journal names.

#include "platform/Status.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline constexpr std::string_view kJournalName = "update.journal";

struct StagingOptions {
    // The forward step of a commit with this number (counted from 0: a link of a replaced file
    // aside, a rename into place) fails as a full disk would. For tests.
    int failStep = -1;
};

class StagingArea {
public:
    // Names a new staging folder in the journal of `folder`, then makes it.
    static Result<std::unique_ptr<StagingArea>> open(const std::string& folder, StagingOptions options = {});
    // Removes the staging folder with whatever it still holds, and its journal line. A commit not
    // rolled back stays.
    ~StagingArea();
    StagingArea(const StagingArea&) = delete;
    StagingArea& operator=(const StagingArea&) = delete;

    const std::string& folder() const { return m_folder; }
    // Where the file that is to become `name` in the folder is written first.
    std::string stagedPath(std::string_view name) const;
    // A file of the staging folder that is never committed (a download before it is unpacked).
    std::string scratchPath() const { return path("download"); }

    // Renames the staged files `names` into the folder, each over the file of its name, which is
    // kept aside and passes its permission bits on. Refused before any rename when a name holds a
    // symbolic link, something other than a regular file, or a read-only file; a failure after some
    // renames puts every file back. A refusal of `program` says the program cannot be replaced.
    Status commit(const std::vector<std::string>& names, std::string_view program = {});
    // Undoes the commit: every replaced file back, every added one removed.
    void rollBack();
    // The update is whole: a start-up after a kill no longer rolls it back.
    void complete();

private:
    struct Placed {
        std::string name;
        bool replaced = false; // an old file was kept aside
        bool renamed = false;  // the new file is in place
    };

    StagingArea(std::string folder, std::string name, StagingOptions options);
    std::string path(std::string_view inStaging) const;

    std::string m_folder;
    std::string m_name; // of the staging folder, as the journal holds it
    StagingOptions m_options;
    std::vector<Placed> m_placed;
};

// At start-up: puts back what an update killed during its commit had replaced, then removes every
// staging folder the journal names, and the journal. Nothing else in `folder` is touched.
void recoverUpdateFolder(const std::string& folder);

} // namespace quill
