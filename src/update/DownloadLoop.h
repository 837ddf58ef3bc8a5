#pragma once
// The download of the ticked update files: each one is fetched into the program folder, then
// unpacked and removed unless it is the program package, which waits for the replacement.

#include "update/FetchToFile.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace quill {

// A downloaded file of this exact name is the program package.
inline constexpr std::string_view kPackageName = "Quillmarkbox";
// The program's own files a download must never replace (besides the running executable).
inline constexpr std::string_view kSettingsFileName = "保存设置.ini";
inline constexpr std::string_view kSiteListFileName = "test.xml";

enum class ItemState { Downloading, Done, Failed };

// What the loop reads and changes of the window's list; read afresh for every item, since the
// user may change the ticks while earlier items download.
class DownloadList {
public:
    virtual ~DownloadList() = default;
    virtual std::size_t count() const = 0;
    virtual bool isTicked(std::size_t item) const = 0;
    virtual std::string name(std::size_t item) const = 0; // a file-system name
    virtual std::string url(std::size_t item) const = 0;
    virtual void setState(std::size_t item, ItemState state) = 0;
    // One item passed, ticked or not: the overall bar moves on and pending events are processed.
    virtual void passed(std::size_t item) = 0;
};

// True when a download named `fileName` would land on the running program `executableName`, the
// clean-up batch, the settings file or the saved site list (names compared ignoring ASCII case,
// as a Windows folder does). The package itself is allowed unless it is the program's very file.
bool isProtectedFile(const std::string& folder, std::string_view fileName, std::string_view executableName);

// Fetches `url` into `folder` under the last component of `name`; a file other than the package
// is then unpacked and deleted. Failed for a failed transfer, a protected or unusable name, or a
// package that could not be unpacked whole; a download that is no archive at all is only deleted.
ItemState downloadItem(const std::string& folder, std::string_view name, const std::string& url,
                       const TransferEvents& events, std::string_view executableName);

// Runs downloadItem for every ticked item of `list`, in order; a set stop flag ends the loop.
void downloadTicked(DownloadList& list, const std::string& folder, const TransferEvents& events,
                    std::string_view executableName);

} // namespace quill
