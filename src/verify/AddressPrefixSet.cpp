#include "verify/AddressPrefixSet.h"

#include <algorithm>
#include <charconv>
#include <type_traits>

namespace quill {
namespace {

std::uint32_t v4Key(const IpAddress& address)
{
    return std::uint32_t(address.bytes[0]) << 24 | std::uint32_t(address.bytes[1]) << 16 |
           std::uint32_t(address.bytes[2]) << 8 | address.bytes[3];
}

unsigned __int128 v6Key(const IpAddress& address)
{
    unsigned __int128 key = 0;
    for (std::uint8_t byte : address.bytes)
        key = key << 8 | byte;
    return key;
}

constexpr size_t kV4Slots = size_t(1) << 16;

// numeric_limits knows no 128-bit integer in standard mode.
template <typename Key>
constexpr Key kAllOnes = static_cast<Key>(~Key(0));

// The host bits of a prefix of `length` out of `bits`.
template <typename Key>
Key hostMask(int length, int bits)
{
    return length >= bits ? Key(0) : length == 0 ? kAllOnes<Key> : (Key(1) << (bits - length)) - 1;
}

void clearHostBits(AddressPrefix& prefix)
{
    const int bits = prefix.network.v6 ? 128 : 32;
    for (int bit = prefix.length; bit < bits; ++bit)
        prefix.network.bytes[static_cast<size_t>(bit / 8)] &= static_cast<std::uint8_t>(~(0x80u >> (bit % 8)));
}

} // namespace

std::optional<AddressPrefix> parseAddressPrefix(std::string_view text)
{
    const size_t slash = text.find('/');
    const std::string_view addressText = text.substr(0, slash);
    const auto address = parseIpAddress(addressText);
    if (!address)
        return std::nullopt;
    // parseIpAddress takes "::ffff:a.b.c.d" as the IPv4 address it carries.
    const bool mapped = !address->v6 && addressText.find(':') != std::string_view::npos;
    const int fullLength = address->v6 || mapped ? 128 : 32;
    int length = fullLength;
    if (slash != std::string_view::npos) {
        const std::string_view digits = text.substr(slash + 1);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
        if (digits.empty() || digits.size() > 3 || error != std::errc() || end != digits.data() + digits.size() ||
            length < 0 || length > fullLength)
            return std::nullopt;
    }
    if (mapped) {
        if (length < 96)
            return std::nullopt; // reaches past the mapped block: no IPv4 prefix says that
        length -= 96;
    }
    AddressPrefix prefix{*address, length};
    clearHostBits(prefix);
    return prefix;
}

std::string addressPrefixText(const AddressPrefix& prefix)
{
    return ipAddressText(prefix.network) + "/" + std::to_string(prefix.length);
}

void AddressPrefixSet::add(const AddressPrefix& prefix, int list)
{
    if (list < 0 || list >= 32)
        return;
    if (prefix.network.v6) {
        const auto first = v6Key(prefix.network);
        m_v6.pending[list].push_back({first, first | hostMask<unsigned __int128>(prefix.length, 128)});
    } else {
        const auto first = v4Key(prefix.network);
        m_v4.pending[list].push_back({first, first | hostMask<std::uint32_t>(prefix.length, 32)});
    }
}

void AddressPrefixSet::build()
{
    m_v4.build();
    m_v6.build();
}

AddressPrefixSet::Lists AddressPrefixSet::listsHolding(const IpAddress& address) const
{
    return address.v6 ? m_v6.find(v6Key(address)) : m_v4.find(v4Key(address));
}

template <typename Key>
void AddressPrefixSet::Ranges<Key>::build()
{
    // Each list's ranges merged, then every boundary of any list gives the lists holding it.
    std::vector<std::pair<Key, Key>> merged[32];
    std::vector<Key> bounds;
    for (int list = 0; list < 32; ++list) {
        std::vector<std::pair<Key, Key>> ranges = pending[list];
        std::sort(ranges.begin(), ranges.end());
        for (const auto& range : ranges) {
            auto& out = merged[list];
            if (!out.empty() && (out.back().second == kAllOnes<Key> || range.first <= out.back().second + 1))
                out.back().second = std::max(out.back().second, range.second);
            else
                out.push_back(range);
        }
        for (const auto& [first, last] : merged[list]) {
            bounds.push_back(first);
            if (last != kAllOnes<Key>)
                bounds.push_back(last + 1);
        }
    }
    std::sort(bounds.begin(), bounds.end());
    bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());

    starts.clear();
    lists.clear();
    size_t at[32] = {};
    Lists previous = 0;
    for (Key bound : bounds) {
        Lists holding = 0;
        for (int list = 0; list < 32; ++list) {
            const auto& ranges = merged[list];
            while (at[list] < ranges.size() && ranges[at[list]].second < bound)
                ++at[list];
            if (at[list] < ranges.size() && ranges[at[list]].first <= bound)
                holding |= Lists(1) << list;
        }
        if (holding != previous) {
            starts.push_back(bound);
            lists.push_back(holding);
            previous = holding;
        }
    }

    if constexpr (std::is_same_v<Key, std::uint32_t>) {
        firstRangeAt.assign(kV4Slots + 1, 0);
        size_t range = 0;
        for (size_t slot = 0; slot <= kV4Slots; ++slot) {
            while (range < starts.size() && starts[range] >> 16 < slot)
                ++range;
            firstRangeAt[slot] = static_cast<std::uint32_t>(range);
        }
    }
}

template <typename Key>
AddressPrefixSet::Lists AddressPrefixSet::Ranges<Key>::find(Key key) const
{
    auto begin = starts.begin();
    auto end = starts.end();
    if constexpr (std::is_same_v<Key, std::uint32_t>) {
        // The last range starting at or before the key starts under its first 16 bits, or is the
        // one just before them.
        if (!firstRangeAt.empty()) {
            begin = starts.begin() + firstRangeAt[key >> 16];
            end = starts.begin() + firstRangeAt[(key >> 16) + 1];
        }
    }
    const auto it = std::upper_bound(begin, end, key);
    return it == starts.begin() ? 0 : lists[static_cast<size_t>(it - starts.begin() - 1)];
}

} // namespace quill
