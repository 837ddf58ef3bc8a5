#include "verify/UncheckedNotice.h"

#include "platform/CodePage.h"

#include <algorithm>

namespace quill {

size_t uncheckedCount(const VerificationRun& run)
{
    return static_cast<size_t>(std::count_if(run.results.begin(), run.results.end(), [](const VerificationResult& result) {
        return result.verdict == Verdict::Unknown;
    }));
}

bool dnsUnreachable(const VerificationRun& run)
{
    return run.dnsDown || run.noReply || (!run.status.ok() && !run.cancelled);
}

std::string uncheckedNotice(size_t unchecked, bool dnsOutOfReach)
{
    if (unchecked == 0)
        return {};
    std::string number = std::to_string(unchecked);
    for (size_t at = number.size(); at > 3; at -= 3)
        number.insert(at - 3, ",");
    static const std::string noDns = gbk("DNS 无法连接：");
    static const std::string addresses = gbk(" 个地址未验证");
    return (dnsOutOfReach ? noDns : std::string()) + number + addresses;
}

} // namespace quill
