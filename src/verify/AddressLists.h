#pragma once
// The published address lists as this program keeps them: each with its date, in one file beside
// the settings file, and the question the crawler check asks of them.

#include "crawlers/CrawlerRegistry.h"
#include "platform/Status.h"
#include "verify/AddressPrefixSet.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

// A list older than this is shown as old, and an address outside it is never called fake.
inline constexpr std::int64_t kListFreshSeconds = 30 * 24 * 3600;

struct AddressList {
    int index = 0;               // into publishedLists()
    std::int64_t date = 0;       // seconds since 1970: when the list says it was made, else when it was obtained
    std::int64_t obtainedAt = 0; // when this program got it
    std::vector<AddressPrefix> prefixes;

    bool isStale(std::int64_t now) const { return now - date > kListFreshSeconds; }
};

// What the lists say about an address that claims a crawler.
enum class ListFinding {
    InOwnList,         // a list of the claimed crawler holds it: verified
    InOtherList,       // only a fresh list of other crawlers holds it: fake
    OutsideFreshLists, // the crawler is checked by lists alone, all of them fresh, and none holds it: fake
    Undecided,         // no finding: the DNS decides, or, for a crawler of lists alone, unknown
};

class AddressLists {
public:
    AddressLists() = default;
    // One list per index (a later duplicate replaces an earlier one).
    explicit AddressLists(std::vector<AddressList> lists);

    const std::vector<AddressList>& lists() const { return m_lists; }
    const AddressList* find(int index) const;
    bool empty() const { return m_lists.empty(); }

    ListFinding judge(const IpAddress& address, const CrawlerEntry& crawler, std::int64_t now) const;
    // The lists holding `address` (bit = list index).
    AddressPrefixSet::Lists listsHolding(const IpAddress& address) const { return m_set.listsHolding(address); }

private:
    std::vector<AddressList> m_lists; // by index
    AddressPrefixSet m_set;
};

// The lists kept in the file at `path`; no file gives no lists, and what does not parse is left
// out (a list section whose prefixes do not all parse is dropped whole).
AddressLists readAddressListsFile(const std::string& path);

// Writes every list to `path` through a temporary file renamed over it.
Status writeAddressListsFile(const std::string& path, const AddressLists& lists);

// "2026-12-01" for seconds since 1970 (UTC).
std::string dateText(std::int64_t seconds);

} // namespace quill
