#pragma once
// The updater's transfers: one GET into a file or into memory, reported to the window's
// current-download bar, with a limit for silence and one for the whole transfer.

#include "platform/HttpClient.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace quill {

// A transfer that receives nothing for this long fails.
inline constexpr std::chrono::milliseconds kNoProgressLimit = std::chrono::seconds(60);

// What the window shows of a transfer, how it ends one, and whom it trusts. Each may be empty.
struct TransferEvents {
    std::function<void(std::int64_t maximum)> begin;     // bar maximum set, position 0
    std::function<void(std::int64_t position)> advance;  // position set
    std::function<void()> end;                           // position back to 0
    const std::atomic<bool>* stop = nullptr;             // set (by the window's close) to end the transfer
    std::chrono::milliseconds noProgressLimit = kNoProgressLimit;
    std::optional<std::chrono::milliseconds> overallLimit; // the whole transfer, however steady
    std::string caFile; // certificates for https:// instead of the system's
};

// The longest a download of `bytes` may take in all: 10 minutes, and a minute more for every
// started 10 MB, so a server trickling a byte a second cannot hold the updater for ever.
std::chrono::milliseconds downloadTimeLimit(std::uint64_t bytes);

// The CA file the updater's https:// requests trust: the file named by QUILLMARK_CA_FILE (tests
// point it at their loopback server's certificate), else the system's certificates.
std::string trustedCaFile();

// The request settings of the updater's HTTP client: an old library's user agent, no redirects,
// only a 2xx answer is a download, certificates checked, and the limits of `events`.
HttpOptions updaterHttpOptions(const TransferEvents& events);

// GET of `url` into `path`. The body goes to a temporary file beside `path` that replaces it only
// when complete. Fails on a failed connection, any status but 2xx, a stop or a failed write;
// TimedOut for the two time limits, TooLong for a body longer than `maxBytes`.
enum class FetchEnd { Fetched, Failed, TimedOut, TooLong };
FetchEnd fetchToFile(const std::string& url, const std::string& path, const TransferEvents& events,
                     std::optional<std::uint64_t> maxBytes = std::nullopt);

// GET of `url` into memory; a body longer than `maxBytes` fails. The failed response's `failure`
// tells an error status apart from a failed transfer.
HttpResponse fetchToMemory(const std::string& url, const TransferEvents& events, std::size_t maxBytes);

} // namespace quill
