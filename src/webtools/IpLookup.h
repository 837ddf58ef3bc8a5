#pragma once
// "查看IP": where a visitor's address is, cut from the IP-location service's answer page.

#include "platform/Status.h"
#include "webtools/WebRequests.h"

#include <functional>
#include <string>

namespace quill {

// The IP-location service's host (QUILLMARK_IPLOCATION_HOST).
std::string ipLocationHost();

// The lookup address: the client address goes in unescaped.
std::string ipLookupUrl(const std::string& host, const std::string& ip);

// "来源" and the main and reference items of the answer's list, each reference after "  |参考";
// "来源" alone for a page of another layout.
std::string ipLocationText(const std::string& page);

// Fetches the lookup with `fetch` and gives the label text. An address that cannot form a valid
// request line (a control byte or a blank in it) is not sent, so it reads as an empty answer.
std::string ipLookup(const std::string& ip, const std::function<std::string(const std::string& url)>& fetch);

struct IpLookupResult {
    std::string label; // what Label4 shows
    Status outcome;    // failed when the fetch failed, or when the address was not sent
};

// "查看IP" with FetchPage bounded by `context`.
IpLookupResult lookUpIp(const std::string& ip, const WebContext& context = {});

} // namespace quill
