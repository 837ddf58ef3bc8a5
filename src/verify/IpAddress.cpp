#include "verify/IpAddress.h"

#include <arpa/inet.h>
#include <cstring>

namespace quill {
namespace {

// Dotted IPv4 exactly as inet_pton takes it (four decimal parts of 0-255, no leading zero), read
// in place: most of a log's addresses are IPv4, and this runs once per record.
std::optional<IpAddress> parseIpv4(std::string_view text)
{
    IpAddress address;
    size_t at = 0;
    for (size_t part = 0; part < 4; ++part) {
        if (part > 0 && (at >= text.size() || text[at++] != '.'))
            return std::nullopt;
        const size_t first = at;
        unsigned value = 0;
        while (at < text.size() && at - first < 3 && text[at] >= '0' && text[at] <= '9')
            value = value * 10 + unsigned(text[at++] - '0');
        const size_t digits = at - first;
        if (digits == 0 || value > 255 || (digits > 1 && text[first] == '0'))
            return std::nullopt;
        address.bytes[part] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size())
        return std::nullopt;
    return address;
}

} // namespace

std::optional<IpAddress> parseIpAddress(std::string_view text)
{
    if (const auto v4 = parseIpv4(text))
        return v4;
    // Every IPv6 text holds a colon; inet_pton wants a terminated string, so a NUL would cut it.
    if (text.find(':') == std::string_view::npos || text.find('\0') != std::string_view::npos ||
        text.size() > INET6_ADDRSTRLEN)
        return std::nullopt;
    const std::string terminated(text);
    IpAddress address;
    if (inet_pton(AF_INET6, terminated.c_str(), address.bytes.data()) != 1)
        return std::nullopt;
    static constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    if (std::memcmp(address.bytes.data(), kMappedPrefix, sizeof kMappedPrefix) == 0) {
        std::memmove(address.bytes.data(), address.bytes.data() + 12, 4);
        std::memset(address.bytes.data() + 4, 0, 12);
        return address;
    }
    address.v6 = true;
    return address;
}

std::string ipAddressText(const IpAddress& address)
{
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(address.v6 ? AF_INET6 : AF_INET, address.bytes.data(), text, sizeof text);
    return text;
}

std::string reverseLookupName(const IpAddress& address)
{
    std::string name;
    if (!address.v6) {
        for (int i = 3; i >= 0; --i)
            name += std::to_string(address.bytes[static_cast<size_t>(i)]) + '.';
        return name + "in-addr.arpa";
    }
    static constexpr char kHex[] = "0123456789abcdef";
    for (int i = 15; i >= 0; --i) {
        const std::uint8_t byte = address.bytes[static_cast<size_t>(i)];
        name += kHex[byte & 0xF];
        name += '.';
        name += kHex[byte >> 4];
        name += '.';
    }
    return name + "ip6.arpa";
}

} // namespace quill
