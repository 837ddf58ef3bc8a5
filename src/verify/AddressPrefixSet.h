#pragma once
// Address prefixes ("66.249.64.0/19", "2001:4860:4801::/48") and a set of them that answers, for
// one address, which lists hold it: a sorted run of disjoint ranges searched by halving (for IPv4
// only among the ranges starting under the address's first 16 bits), never a scan of the prefixes.

#include "verify/IpAddress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct AddressPrefix {
    IpAddress network; // the bits past the length are zero
    int length = 0;    // 0-32 for IPv4, 0-128 for IPv6

    bool operator==(const AddressPrefix&) const = default;
};

// "a.b.c.d/n" or "x:y::/n"; an address alone is a prefix of its full length. An IPv4-mapped IPv6
// prefix of length 96 or more is the IPv4 prefix it carries. Host bits that are set are cleared.
// Nothing for any other text.
std::optional<AddressPrefix> parseAddressPrefix(std::string_view text);

// The prefix as "a.b.c.d/n" or "x::/n".
std::string addressPrefixText(const AddressPrefix& prefix);

class AddressPrefixSet {
public:
    using Lists = std::uint32_t; // bit i: list i holds the address

    // Adds `prefix` as a member of list `list` (0-31).
    void add(const AddressPrefix& prefix, int list);
    // Turns the prefixes added so far into ranges; add() may be called again afterwards.
    void build();
    // The lists holding `address`, as of the last build().
    Lists listsHolding(const IpAddress& address) const;

    size_t rangeCount() const { return m_v4.starts.size() + m_v6.starts.size(); }

private:
    template <typename Key>
    struct Ranges {
        std::vector<std::pair<Key, Key>> pending[32]; // [first, last] per list, until build()
        std::vector<Key> starts;                      // sorted; range i runs to starts[i + 1]
        std::vector<Lists> lists;                     // per range
        // IPv4 only: firstRangeAt[h] is the first range starting at or after h << 16 (65,537 entries).
        std::vector<std::uint32_t> firstRangeAt;
        void build();
        Lists find(Key key) const;
    };

    Ranges<std::uint32_t> m_v4;
    Ranges<unsigned __int128> m_v6;
};

} // namespace quill
