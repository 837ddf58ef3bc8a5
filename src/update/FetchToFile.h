#pragma once
// The updater's downloads: one GET into a file with the transfer reported to the window's
// current-download bar.

#include "platform/HttpClient.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quill {

// What the window shows of a transfer. Each may be empty.
struct TransferEvents {
    std::function<void(std::int64_t maximum)> begin;     // bar maximum set, position 0
    std::function<void(std::int64_t position)> advance;  // position set; the UI processes pending events
    std::function<void()> end;                           // position back to 0
};

// The request settings of the updater's HTTP client: an old library's user agent, no read
// time-out, no redirects.
HttpOptions updaterHttpOptions();

// GET of `url` into `path`. The body goes to a temporary file beside `path` that replaces it only
// when complete, so a failed transfer leaves an existing file untouched. False on a failed
// connection, an error status or a failed write.
bool fetchToFile(const std::string& url, const std::string& path, const TransferEvents& events);

} // namespace quill
