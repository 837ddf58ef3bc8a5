#include "verify/CrawlerDomains.h"

#include "crawlers/CrawlerTable.h"
#include "platform/GbkText.h"

#include <array>

namespace quill {
namespace {

// One row per crawler table row, in table order. Rows left empty have no published procedure, so
// a visit from them is never called fake.
constexpr std::string_view kGoogle[] = {"googlebot.com", "google.com", "googleusercontent.com"};
constexpr std::string_view kBaidu[] = {"baidu.com", "baidu.jp"};
constexpr std::string_view kYahoo[] = {"crawl.yahoo.net"};
constexpr std::string_view kSogou[] = {"sogou.com"};
constexpr std::string_view kYoudao[] = {"youdao.com"};
constexpr std::string_view kMsn[] = {"search.msn.com"};

const std::array<std::span<const std::string_view>, kCrawlerRowCount> kDomains = {{
    kGoogle, // Googlebot
    kBaidu,  // Baiduspider
    kYahoo,  // Yahoo (Slurp)
    kSogou,  // Sogou
    {},      // Sosospider
    kYoudao, // YoudaoBot
    kYoudao, // YodaoBot-Image
    {},      // qihoobot
    {},      // Twiceler
    kMsn,    // msnbot
    {},      // AppEngine-Google: fetches on behalf of any application, not a crawler of the engine
    {},      // SurveyBot
    {},      // Gigabot
}};

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && upperAscii(a) == upperAscii(b);
}

} // namespace

std::span<const std::string_view> crawlerDomains(int row)
{
    if (row < 1 || row > kCrawlerRowCount)
        return {};
    return kDomains[static_cast<size_t>(row - 1)];
}

bool hostInDomains(std::string_view host, std::span<const std::string_view> domains)
{
    if (host.ends_with('.'))
        host.remove_suffix(1);
    for (std::string_view domain : domains) {
        if (host.size() < domain.size())
            continue;
        const std::string_view tail = host.substr(host.size() - domain.size());
        const bool wholeLabel = host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
        if (wholeLabel && equalsIgnoreCase(tail, domain))
            return true;
    }
    return false;
}

int crawlerRowByName(std::string_view name)
{
    const auto& rows = crawlerTable();
    for (int i = 0; i < kCrawlerRowCount; ++i)
        if (equalsIgnoreCase(name, rows[static_cast<size_t>(i)].token) ||
            equalsIgnoreCase(name, rows[static_cast<size_t>(i)].displayName))
            return i + 1;
    return crawlerRowOf(name);
}

} // namespace quill
