#include "verify/CrawlerDomains.h"

#include "platform/GbkText.h"

namespace quill {

bool hostInDomains(std::string_view host, const std::vector<std::string>& domains)
{
    if (host.ends_with('.'))
        host.remove_suffix(1);
    for (std::string_view domain : domains) {
        if (host.size() < domain.size())
            continue;
        const std::string_view tail = host.substr(host.size() - domain.size());
        const bool wholeLabel = host.size() == domain.size() || host[host.size() - domain.size() - 1] == '.';
        if (wholeLabel && upperAscii(tail) == upperAscii(domain))
            return true;
    }
    return false;
}

} // namespace quill
