#pragma once
// HTTP/1.1 GET over libcurl. A client serves the requests of one operation on the thread that
// makes them; nothing (connection, cookies, settings) is shared with another client. Cookies are
// always on, kept for the client's requests and their redirects.

#include "platform/Status.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quill {

// Redirects followed in a row; one more fails the request.
inline constexpr int kMaxRedirects = 15;

struct HttpOptions {
    // Request headers; an empty text sends no such header.
    std::string userAgent;
    std::string accept = "text/html, */*";
    std::string contentType = "text/html"; // sent even though a GET has no body
    std::string acceptLanguage;
    std::string connection;
    std::string host;                      // sent to the first address only, not to redirects
    std::vector<std::string> extraHeaderLines; // "Name: value", sent after the others

    bool followRedirects = false;
    // Every final status outside 2xx fails the request, an unfollowed redirect included.
    bool onlySuccessStatus = false;
    // Limit for establishing the connection and for every wait for data. None: reads wait as long
    // as the server keeps the connection open, and a connection attempt ends when the system's does.
    std::optional<std::chrono::milliseconds> timeout;
    // Limit for establishing the connection alone, in place of `timeout`.
    std::optional<std::chrono::milliseconds> connectTimeout;
    // Limit for the whole request, redirects included, however steadily data arrives.
    std::optional<std::chrono::milliseconds> totalTimeout;
    // Body bytes kept in memory: a longer body is cut there and the request ends as complete.
    std::optional<std::size_t> maxBodyBytes;
    // A body the server compressed (Content-Encoding gzip, deflate, br), asked for or not, is
    // decompressed; no Accept-Encoding is sent for it unless an extra header line sends one.
    bool decodeContent = false;
    // Certificates that https:// servers are checked against instead of the system's (tests trust
    // their loopback server's this way). Certificates are always checked.
    std::string caFile;

    // Called on the requesting thread with the bytes the answer announced (0 when unknown) and the
    // bytes received: when an answer's body begins, after each piece of it, and at least every
    // 50 ms while the request waits, so a caller on the UI thread can process pending events.
    std::function<void(std::int64_t maximum, std::int64_t position)> progress;
    // Set from any thread to end the request within 50 ms.
    const std::atomic<bool>* stop = nullptr;
};

// Why a request failed, for texts that tell the user what happened.
enum class HttpFailure { None, Connect, TimedOut, ErrorStatus, Redirects, Stopped, Other };

struct HttpResponse {
    // A failed connection, a time-out, an error status (4xx, 5xx; any but 2xx with
    // onlySuccessStatus), a stop, too many redirects or a failed file write.
    Status status;
    HttpFailure failure = HttpFailure::None;
    int statusCode = 0;   // of the last answer; 0 when none came
    std::string location; // the last answer's Location header as sent
    std::string contentType; // the last answer's Content-Type header as sent
    std::string body;     // raw bytes of the last answer (get only)
    bool cut = false;     // the body was longer than maxBodyBytes

    bool ok() const { return status.ok(); }
};

class HttpClient {
public:
    explicit HttpClient(HttpOptions options = {});
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    // GET of a full http:// or https:// address, the body kept in memory.
    HttpResponse get(const std::string& url);
    // GET with the body written to `path`, which is replaced only when the request succeeds;
    // otherwise it keeps its old bytes (or stays absent).
    HttpResponse getToFile(const std::string& url, const std::string& path);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace quill
