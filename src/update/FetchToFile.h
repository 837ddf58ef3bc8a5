#pragma once
// The updater's downloads: one GET into a file with the transfer reported to the window's
// current-download bar.

#include "platform/HttpClient.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace quill {

// A transfer that receives nothing for this long fails.
inline constexpr std::chrono::milliseconds kNoProgressLimit = std::chrono::seconds(60);

// What the window shows of a transfer, and how it ends one. Each may be empty.
struct TransferEvents {
    std::function<void(std::int64_t maximum)> begin;     // bar maximum set, position 0
    std::function<void(std::int64_t position)> advance;  // position set; the UI processes pending events
    std::function<void()> end;                           // position back to 0
    const std::atomic<bool>* stop = nullptr;             // set (by the window's close) to end the transfer
    std::chrono::milliseconds noProgressLimit = kNoProgressLimit;
};

// The request settings of the updater's HTTP client: an old library's user agent, no redirects,
// only a 2xx answer is a download, and the no-progress limit.
HttpOptions updaterHttpOptions(std::chrono::milliseconds noProgressLimit = kNoProgressLimit);

// GET of `url` into `path`. The body goes to a temporary file beside `path` that replaces it only
// when complete, so a failed transfer leaves an existing file untouched. False on a failed
// connection, any status but 2xx, a stop, no data for the no-progress limit or a failed write.
bool fetchToFile(const std::string& url, const std::string& path, const TransferEvents& events);

} // namespace quill
