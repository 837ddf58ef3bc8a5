#include "update/FetchToFile.h"

namespace quill {

HttpOptions updaterHttpOptions(std::chrono::milliseconds noProgressLimit)
{
    HttpOptions options;
    options.userAgent = "Mozilla/3.0 (compatible; Indy Library)";
    options.accept = "text/html, */*";
    options.contentType = "text/html";
    options.followRedirects = false;
    // An unfollowed redirect's body is a server's "moved" page, not the file asked for.
    options.onlySuccessStatus = true;
    // A stalled server would otherwise hold the window in its download for ever.
    options.timeout = noProgressLimit;
    return options;
}

bool fetchToFile(const std::string& url, const std::string& path, const TransferEvents& events)
{
    HttpOptions options = updaterHttpOptions(events.noProgressLimit);
    options.stop = events.stop;
    bool begun = false;
    std::int64_t announced = 0;
    options.progress = [&](std::int64_t maximum, std::int64_t position) {
        // The body's announced size is known only once its answer arrives.
        if (!begun || maximum != announced) {
            begun = true;
            announced = maximum;
            if (events.begin)
                events.begin(maximum);
        }
        if (events.advance)
            events.advance(position);
    };
    const bool fetched = HttpClient(std::move(options)).getToFile(url, path).ok();
    if (events.end)
        events.end();
    return fetched;
}

} // namespace quill
