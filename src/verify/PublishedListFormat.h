#pragma once
// Reading a list as an operator publishes it: JSON, either an object with "prefixes" (items
// {"ipv4Prefix": ...} or {"ipv6Prefix": ...}, or plain prefix strings) and an optional
// "creationTime", or an array of prefix strings.

#include "platform/Status.h"
#include "verify/AddressPrefixSet.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace quill {

struct ParsedList {
    std::vector<AddressPrefix> prefixes;
    std::int64_t createdAt = 0; // seconds since 1970; 0 when the list does not say
};

// Lists hold thousands of prefixes; far more is no list of a crawler's addresses.
inline constexpr size_t kMaxPrefixesPerList = 200000;

// The list in `json`. Fails, saying why in GBK, on broken JSON, nesting deeper than a list has,
// a prefix that does not parse, no prefix at all, or more than kMaxPrefixesPerList.
Result<ParsedList> parsePublishedList(std::string_view json);

// "2024-04-08T23:00:53.000000" (optionally with "Z" or an offset, which is applied) as seconds
// since 1970, the time taken as UTC; nothing for other texts.
std::optional<std::int64_t> parseCreationTime(std::string_view text);

} // namespace quill
