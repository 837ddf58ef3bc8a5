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

enum class ItemState { Downloading, Done, Failed };

// What the loop reads and changes of the window's list; read afresh for every item, since the
// user may change the ticks while earlier items download.
class DownloadList {
public:
    virtual ~DownloadList() = default;
    virtual std::size_t count() const = 0;
    virtual bool isTicked(std::size_t item) const = 0;
    virtual std::string name(std::size_t item) const = 0; // GBK
    virtual std::string url(std::size_t item) const = 0;
    virtual void setState(std::size_t item, ItemState state) = 0;
    // One item passed, ticked or not: the overall bar moves on and pending events are processed.
    virtual void passed(std::size_t item) = 0;
};

// Fetches `url` into `folder` under the last component of `name`; a file other than the package
// is then unpacked (silently skipped when it is no archive) and deleted. Failed for a failed
// transfer or a name with no usable last component.
ItemState downloadItem(const std::string& folder, std::string_view name, const std::string& url,
                       const TransferEvents& events);

// Runs downloadItem for every ticked item of `list`, in order.
void downloadTicked(DownloadList& list, const std::string& folder, const TransferEvents& events);

} // namespace quill
