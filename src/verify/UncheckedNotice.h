#pragma once
// Telling the user that the crawler check could not check: how many addresses it left 未知, and
// why when the DNS was out of reach, so an empty result never reads as "no crawler came".

#include "verify/CrawlerVerifier.h"

#include <cstddef>
#include <string>

namespace quill {

// The requests of `run` whose check found no usable answer (未知).
size_t uncheckedCount(const VerificationRun& run);

// True when the run could not reach its DNS server at all (silent, refused or badly set).
bool dnsUnreachable(const VerificationRun& run);

// "DNS 无法连接：1,234 个地址未验证" when the DNS was out of reach, "1,234 个地址未验证" when
// answers or published lists were missing for some; empty when every address was checked. GBK.
std::string uncheckedNotice(size_t unchecked, bool dnsOutOfReach);

} // namespace quill
