#include "platform/HttpClient.h"

#include "platform/CurlLibrary.h"
#include "platform/ReplacementFile.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>
#include <strings.h>

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kPollInterval{50};

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

std::string_view trimBlanks(std::string_view text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// Only these answers are followed: a 304 carries its Location back to the caller.
bool isFollowedStatus(int code)
{
    return code == 301 || code == 302 || code == 303 || code == 307 || code == 308;
}

// The state of one request and its answers, shared with the libcurl callbacks.
struct Exchange {
    Exchange(const HttpOptions& options, ReplacementFile* file) : options(options), file(file) {}

    const HttpOptions& options;
    ReplacementFile* file; // null: the body goes to `body`

    int statusCode = 0;
    std::string statusLine;
    std::string location;
    std::string contentType;
    std::string body;
    std::int64_t expected = 0;
    std::int64_t received = 0;
    bool bodyBegun = false;
    bool fileFailed = false;
    bool cut = false;
    // Set by the whole request's time limit, if any.
    std::optional<Clock::time_point> deadline;

    // The read time-out runs from the request's sending or its last data, never while connecting,
    // which the connect time-out covers.
    bool connecting = true;
    Clock::time_point lastActivity = Clock::now();

    bool isFollowed() const
    {
        return options.followRedirects && isFollowedStatus(statusCode) && !location.empty();
    }

    void progress()
    {
        if (options.progress)
            options.progress(expected, received);
    }
};

size_t onHeader(char* data, size_t size, size_t count, void* user)
{
    auto& exchange = *static_cast<Exchange*>(user);
    const std::string_view line(data, size * count);
    exchange.lastActivity = Clock::now();
    if (line.starts_with("HTTP/")) {
        exchange.statusLine = trimBlanks(line);
        const size_t blank = exchange.statusLine.find(' ');
        int code = 0;
        if (blank != std::string::npos) {
            const char* digits = exchange.statusLine.c_str() + blank + 1;
            std::from_chars(digits, digits + std::min<size_t>(3, exchange.statusLine.size() - blank - 1), code);
        }
        exchange.statusCode = code;
        exchange.location.clear();
        exchange.contentType.clear();
        exchange.body.clear();
        exchange.expected = exchange.received = 0;
        exchange.bodyBegun = false;
    } else if (startsWithIgnoreCase(line, "location:")) {
        exchange.location = trimBlanks(line.substr(9));
    } else if (startsWithIgnoreCase(line, "content-type:")) {
        exchange.contentType = trimBlanks(line.substr(13));
    } else if (startsWithIgnoreCase(line, "content-length:")) {
        const std::string_view digits = trimBlanks(line.substr(15));
        std::int64_t length = 0;
        if (std::from_chars(digits.data(), digits.data() + digits.size(), length).ec == std::errc())
            exchange.expected = length;
    }
    return size * count;
}

size_t onBody(char* data, size_t size, size_t count, void* user)
{
    auto& exchange = *static_cast<Exchange*>(user);
    const std::string_view bytes(data, size * count);
    exchange.lastActivity = Clock::now();
    if (exchange.isFollowed())
        return bytes.size();
    if (!exchange.bodyBegun) {
        exchange.bodyBegun = true;
        exchange.progress();
    }
    if (!exchange.file) {
        const std::optional<size_t>& limit = exchange.options.maxBodyBytes;
        if (limit && exchange.body.size() + bytes.size() > *limit) {
            exchange.body.append(bytes.substr(0, *limit - exchange.body.size()));
            exchange.cut = true;
            return 0; // ends the transfer; the kept part counts as the answer
        }
        exchange.body.append(bytes);
    } else if (exchange.statusCode < 400 && !exchange.file->write(bytes)) {
        exchange.fileFailed = true;
        return 0;
    }
    exchange.received += static_cast<std::int64_t>(bytes.size());
    exchange.progress();
    // A stop the progress callback set (a body longer than its caller allows) ends it before
    // the rest of the body arrives.
    if (exchange.options.stop && exchange.options.stop->load())
        return 0;
    return bytes.size();
}

int onSocketCreated(void* user, curl_socket_t, curlsocktype purpose)
{
    if (purpose == CURLSOCKTYPE_IPCXN)
        static_cast<Exchange*>(user)->connecting = true;
    return CURL_SOCKOPT_OK;
}

int onConnected(void* user, char*, char*, int, int)
{
    auto& exchange = *static_cast<Exchange*>(user);
    exchange.connecting = false;
    exchange.lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
}

enum class Ending { Finished, TimedOut, Stopped };

// Runs the transfer set up on `easy`, checking the stop flag and the read time-out between waits.
Ending runTransfer(const CurlLibrary& curl, CURL* easy, Exchange& exchange, CURLcode& result)
{
    CURLM* multi = curl.multi_init();
    curl.multi_add_handle(multi, easy);
    Ending ending = Ending::Finished;
    result = CURLE_FAILED_INIT;
    for (;;) {
        int running = 0;
        if (curl.multi_perform(multi, &running) != CURLM_OK || running == 0)
            break;
        if (exchange.options.stop && exchange.options.stop->load()) {
            ending = Ending::Stopped;
            break;
        }
        auto wait = kPollInterval;
        if (exchange.deadline) {
            const auto now = Clock::now();
            if (now >= *exchange.deadline) {
                ending = Ending::TimedOut;
                break;
            }
            wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(*exchange.deadline - now));
        }
        if (exchange.options.timeout && !exchange.connecting) {
            const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
                Clock::now() - exchange.lastActivity);
            if (idle >= *exchange.options.timeout) {
                ending = Ending::TimedOut;
                break;
            }
            wait = std::min(wait, *exchange.options.timeout - idle);
        }
        exchange.progress();
        curl.multi_poll(multi, nullptr, 0, static_cast<int>(wait.count()) + 1, nullptr);
    }
    int left = 0;
    while (CURLMsg* message = curl.multi_info_read(multi, &left))
        if (message->msg == CURLMSG_DONE)
            result = message->data.result;
    curl.multi_remove_handle(multi, easy);
    curl.multi_cleanup(multi);
    return ending;
}

// `location` resolved against `base`; empty when it is no usable address.
std::string resolveAddress(const CurlLibrary& curl, const std::string& base, const std::string& location)
{
    CURLU* url = curl.url();
    std::string resolved;
    char* text = nullptr;
    if (curl.url_set(url, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
        curl.url_set(url, CURLUPART_URL, location.c_str(), CURLU_ALLOW_SPACE) == CURLUE_OK &&
        curl.url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK)
        resolved = text;
    curl.free(text);
    curl.url_cleanup(url);
    return resolved;
}

} // namespace

struct HttpClient::Impl {
    HttpOptions options;
    const CurlLibrary* curl = nullptr;
    std::string unloaded; // why the library could not be loaded
    CURL* easy = nullptr;
    char errorText[CURL_ERROR_SIZE] = {};

    curl_slist* headerList(bool firstRequest) const
    {
        curl_slist* list = nullptr;
        auto add = [this, &list](std::string_view name, const std::string& value) {
            // "Name:" with no value removes a header libcurl would add by itself.
            list = curl->slist_append(list, (std::string(name) + ": " + value).c_str());
        };
        add("Accept", options.accept);
        if (!options.acceptLanguage.empty())
            add("Accept-Language", options.acceptLanguage);
        if (!options.connection.empty())
            add("Connection", options.connection);
        // Sent from the list, not by libcurl ahead of it, so headers leave in the order they are set.
        if (!options.userAgent.empty())
            add("User-Agent", options.userAgent);
        // A chosen Host names the first address's server, not the one a redirect leads to.
        if (!options.host.empty() && firstRequest)
            add("Host", options.host);
        if (!options.contentType.empty())
            add("Content-Type", options.contentType);
        for (const std::string& line : options.extraHeaderLines)
            list = curl->slist_append(list, line.c_str());
        // Decoding makes libcurl announce what it can decode; the request stays as the tool sends it.
        const bool asksEncoding = std::any_of(options.extraHeaderLines.begin(), options.extraHeaderLines.end(),
                                              [](const std::string& line) {
                                                  return strncasecmp(line.c_str(), "Accept-Encoding:", 16) == 0;
                                              });
        if (options.decodeContent && !asksEncoding)
            list = curl->slist_append(list, "Accept-Encoding:");
        return list;
    }

    void setUp(Exchange& exchange, const std::string& url, curl_slist* headers)
    {
        errorText[0] = '\0';
        curl->easy_setopt(easy, CURLOPT_URL, url.c_str());
        curl->easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
        curl->easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
        curl->easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        curl->easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
        // The tools talk to servers directly, whatever proxy the environment names.
        curl->easy_setopt(easy, CURLOPT_PROXY, "");
        curl->easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
        curl->easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        curl->easy_setopt(easy, CURLOPT_COOKIEFILE, ""); // cookies on, kept in this handle only
        curl->easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, options.decodeContent ? "" : nullptr);
        if (!options.caFile.empty())
            curl->easy_setopt(easy, CURLOPT_CAINFO, options.caFile.c_str());
        // 0 is libcurl's "no limit of ours".
        const std::optional<std::chrono::milliseconds> connect =
            options.connectTimeout ? options.connectTimeout : options.timeout;
        const long connectMs = connect ? std::max(1L, static_cast<long>(connect->count())) : 0L;
        curl->easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
        curl->easy_setopt(easy, CURLOPT_HEADERFUNCTION, onHeader);
        curl->easy_setopt(easy, CURLOPT_HEADERDATA, &exchange);
        curl->easy_setopt(easy, CURLOPT_WRITEFUNCTION, onBody);
        curl->easy_setopt(easy, CURLOPT_WRITEDATA, &exchange);
        curl->easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, onSocketCreated);
        curl->easy_setopt(easy, CURLOPT_SOCKOPTDATA, &exchange);
        curl->easy_setopt(easy, CURLOPT_PREREQFUNCTION, onConnected);
        curl->easy_setopt(easy, CURLOPT_PREREQDATA, &exchange);
    }

    // One answer; fills `exchange` and returns the failure, if any, of the transfer itself.
    Status requestOnce(Exchange& exchange, const std::string& url, bool firstRequest, HttpFailure& failure)
    {
        curl_slist* headers = headerList(firstRequest);
        setUp(exchange, url, headers);
        exchange.connecting = true;
        CURLcode result = CURLE_OK;
        const Ending ending = runTransfer(*curl, easy, exchange, result);
        curl->easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
        curl->slist_free_all(headers);
        if (ending == Ending::Stopped) {
            failure = HttpFailure::Stopped;
            return Status::failure("Request stopped");
        }
        if (ending == Ending::TimedOut) {
            failure = HttpFailure::TimedOut;
            return Status::failure("Read timed out");
        }
        if (result == CURLE_OK || (result == CURLE_WRITE_ERROR && exchange.cut))
            return Status();
        failure = result == CURLE_OPERATION_TIMEDOUT                                 ? HttpFailure::TimedOut
                  : result == CURLE_COULDNT_CONNECT || result == CURLE_COULDNT_RESOLVE_HOST ? HttpFailure::Connect
                                                                                       : HttpFailure::Other;
        return Status::failure(errorText[0] ? errorText : curl->easy_strerror(result));
    }

    HttpResponse perform(const std::string& url, ReplacementFile* file)
    {
        HttpResponse response;
        if (!easy) {
            response.status = Status::failure(unloaded.empty() ? "The HTTP client could not start" : unloaded);
            return response;
        }
        Exchange exchange(options, file);
        if (options.totalTimeout)
            exchange.deadline = Clock::now() + *options.totalTimeout;
        std::string address = url;
        for (int redirects = 0;; ++redirects) {
            response.status = requestOnce(exchange, address, redirects == 0, response.failure);
            if (!response.status.ok() || !exchange.isFollowed())
                break;
            if (redirects == kMaxRedirects) {
                response.failure = HttpFailure::Redirects;
                response.status = Status::failure("Too many redirects (more than " +
                                               std::to_string(kMaxRedirects) + ")");
                break;
            }
            address = resolveAddress(*curl, address, exchange.location);
            if (address.empty()) {
                response.failure = HttpFailure::Other;
                response.status = Status::failure("Invalid redirect address: " + exchange.location);
                break;
            }
        }
        const bool success = exchange.statusCode >= 200 && exchange.statusCode <= 299;
        if (response.status.ok() && (exchange.statusCode >= 400 || (options.onlySuccessStatus && !success))) {
            response.failure = HttpFailure::ErrorStatus;
            response.status = Status::failure(exchange.statusLine);
        }
        if (exchange.fileFailed) {
            response.failure = HttpFailure::Other;
            response.status = file->commit(); // the file's own message
        }
        response.cut = exchange.cut;
        response.statusCode = exchange.statusCode;
        response.location = std::move(exchange.location);
        response.contentType = std::move(exchange.contentType);
        response.body = std::move(exchange.body);
        return response;
    }
};

HttpClient::HttpClient(HttpOptions options) : m_impl(std::make_unique<Impl>())
{
    m_impl->options = std::move(options);
    m_impl->curl = curlLibrary(m_impl->unloaded);
    if (m_impl->curl)
        m_impl->easy = m_impl->curl->easy_init();
}

HttpClient::~HttpClient()
{
    if (m_impl->easy)
        m_impl->curl->easy_cleanup(m_impl->easy);
}

HttpResponse HttpClient::get(const std::string& url)
{
    return m_impl->perform(url, nullptr);
}

HttpResponse HttpClient::getToFile(const std::string& url, const std::string& path)
{
    ReplacementFile file(path);
    HttpResponse response = m_impl->perform(url, &file);
    if (response.ok())
        response.status = file.commit();
    return response;
}

} // namespace quill
