#include "webtools/IpLookup.h"

#include "platform/CodePage.h"
#include "platform/Hosts.h"
#include "platform/GbkText.h"
#include "text/HtmlText.h"

#include <algorithm>

namespace quill {

std::string ipLocationHost() { return hostFromEnvironment("QUILLMARK_IPLOCATION_HOST", "www.ip138.com"); }

std::string ipLookupUrl(const std::string& host, const std::string& ip)
{
    return "http://" + host + "/ips.asp?ip=" + ip;
}

std::string ipLocationText(const std::string& page)
{
    static const std::string start = gbk("class=\"ul1\"><li>本站主数据");
    static const std::string reference = gbk("</li><li>参考数据");
    static const std::string shown = gbk("  |参考");
    const std::string piece = textBetween(page, start, "</li></ul></td>");
    return gbk("来源") + replaceAllIgnoreCase(piece, reference, shown);
}

std::string ipLookup(const std::string& ip, const std::function<std::string(const std::string& url)>& fetch)
{
    const bool sendable = std::none_of(ip.begin(), ip.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
    return ipLocationText(sendable ? fetch(ipLookupUrl(ipLocationHost(), ip)) : std::string());
}

IpLookupResult lookUpIp(const std::string& ip, const WebContext& context)
{
    IpLookupResult result;
    result.outcome = Status::failure(gbk("地址无效")); // stays when nothing is sent
    result.label = ipLookup(ip, [&](const std::string& url) {
        Result<std::string> answer = fetchPageReporting(url, context);
        result.outcome = answer.status();
        return answer ? std::move(answer.value()) : std::string();
    });
    return result;
}

} // namespace quill
