#include "update/FetchToFile.h"

#include "platform/Hosts.h"

#include <algorithm>

namespace quill {
namespace {

// The window's bar follows the transfer; a body past `maxBytes` ends it at once.
struct Progress {
    const TransferEvents& events;
    std::optional<std::uint64_t> maxBytes;
    std::atomic<bool> stop{false};
    bool tooLong = false;
    bool begun = false;
    std::int64_t announced = 0;

    void operator()(std::int64_t maximum, std::int64_t position)
    {
        if (maxBytes && static_cast<std::uint64_t>(std::max<std::int64_t>(position, 0)) > *maxBytes)
            tooLong = true;
        stop = tooLong || (events.stop && events.stop->load());
        // The body's announced size is known only once its answer arrives.
        if (!begun || maximum != announced) {
            begun = true;
            announced = maximum;
            if (events.begin)
                events.begin(maximum);
        }
        if (events.advance)
            events.advance(position);
    }
};

HttpResponse fetch(const std::string& url, const std::string* path, const TransferEvents& events,
                   std::optional<std::uint64_t> maxBytes)
{
    Progress progress{events, maxBytes};
    HttpOptions options = updaterHttpOptions(events);
    options.stop = &progress.stop;
    options.progress = [&progress](std::int64_t maximum, std::int64_t position) { progress(maximum, position); };
    if (!path && maxBytes)
        options.maxBodyBytes = static_cast<std::size_t>(*maxBytes);
    HttpClient client(std::move(options));
    HttpResponse response = path ? client.getToFile(url, *path) : client.get(url);
    if (response.cut || progress.tooLong) {
        response.cut = true;
        response.status = Status::failure("The answer is longer than it may be");
        response.failure = HttpFailure::Other;
    }
    if (events.end)
        events.end();
    return response;
}

} // namespace

std::chrono::milliseconds downloadTimeLimit(std::uint64_t bytes)
{
    constexpr std::uint64_t tenMegabytes = 10'000'000;
    const std::uint64_t started = bytes / tenMegabytes + (bytes % tenMegabytes != 0);
    return std::chrono::minutes(10) + std::chrono::minutes(static_cast<std::int64_t>(std::min<std::uint64_t>(started, 100000)));
}

std::string trustedCaFile() { return hostFromEnvironment("QUILLMARK_CA_FILE", ""); }

HttpOptions updaterHttpOptions(const TransferEvents& events)
{
    HttpOptions options;
    options.userAgent = "Mozilla/3.0 (compatible; Indy Library)";
    options.accept = "text/html, */*";
    options.contentType = "text/html";
    options.followRedirects = false;
    // An unfollowed redirect's body is a server's "moved" page, not the file asked for.
    options.onlySuccessStatus = true;
    // A stalled server would otherwise hold the updater in its download for ever.
    options.timeout = events.noProgressLimit;
    options.totalTimeout = events.overallLimit;
    options.caFile = events.caFile;
    return options;
}

FetchEnd fetchToFile(const std::string& url, const std::string& path, const TransferEvents& events,
                     std::optional<std::uint64_t> maxBytes)
{
    const HttpResponse response = fetch(url, &path, events, maxBytes);
    if (response.ok())
        return FetchEnd::Fetched;
    if (response.cut)
        return FetchEnd::TooLong;
    return response.failure == HttpFailure::TimedOut ? FetchEnd::TimedOut : FetchEnd::Failed;
}

HttpResponse fetchToMemory(const std::string& url, const TransferEvents& events, std::size_t maxBytes)
{
    return fetch(url, nullptr, events, maxBytes);
}

} // namespace quill
