#pragma once
// The download of the ticked update files: each one is fetched into a staging area, checked
// against the size and SHA-256 of the signed manifest, then unpacked into the program folder as a
// whole, or, for the program package, kept for the replacement.

#include "update/FetchToFile.h"
#include "update/StagingArea.h"
#include "update/UpdateManifest.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// A downloaded file of this exact name is the program package.
inline constexpr std::string_view kPackageName = "Quillmarkbox";
// The program's own files besides the running executable.
inline constexpr std::string_view kSettingsFileName = "保存设置.ini";
inline constexpr std::string_view kSiteListFileName = "test.xml";
inline constexpr std::string_view kManifestFileName = "tmp.ini";

enum class ItemState { Downloading, Done, Failed };

// The list's state column (GBK): "下载中", "完成", or "失败" and the reason `failure` gives after
// its "升级失败" (nothing of a failure that is not the updater's own).
std::string itemStateText(ItemState state, const std::string& failure = {});

// The names no download and no archive entry may replace: the running program `executableName`,
// the package, the old program, the clean-up batch, the settings file, the saved site list, the
// manifest, the installed record and the journal.
std::vector<std::string> protectedNames(std::string_view executableName);

// True when a download named `fileName` would land on one of protectedNames (ignoring ASCII case,
// as a Windows folder does). The package itself is allowed unless it is the program's very file.
bool isProtectedFile(const std::string& folder, std::string_view fileName, std::string_view executableName);

struct DownloadOptions {
    std::string folder;
    std::string executableName;
    TransferEvents events;
    // The whole transfer's limit; none: downloadTimeLimit of the item's size.
    std::optional<std::chrono::milliseconds> overallLimit;
    StagingOptions staging;
    int today = 0; // recorded for an entry whose date is no date
};

// Fetches `entry` and checks it against the manifest; an archive is then unpacked into the
// folder with the installed record, all or nothing, and the package is put in the folder for the
// replacement. A download that is no archive at all is recorded and dropped. A failure carries
// the reason's text (failureText) and changes nothing in the folder.
Status downloadItem(const UpdateEntry& entry, const DownloadOptions& options);

struct ListedItem {
    UpdateEntry entry;
    bool ticked = true;
};

// What the loop tells the window, from the thread that runs it.
struct DownloadReport {
    std::function<void(std::size_t item, ItemState state, const Status& status)> state;
    std::function<void(std::size_t item)> passed; // one item passed, ticked or not
};

// Runs downloadItem for every ticked item, in order; a set stop flag ends the loop.
void downloadTicked(const std::vector<ListedItem>& items, const DownloadOptions& options, const DownloadReport& report);

} // namespace quill
