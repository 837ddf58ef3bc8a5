#include "verify/IpAddress.h"

#include <arpa/inet.h>
#include <cstring>

namespace quill {

std::optional<IpAddress> parseIpAddress(std::string_view text)
{
    // inet_pton wants a terminated string and rejects what a log line may carry around it.
    if (text.empty() || text.size() > INET6_ADDRSTRLEN)
        return std::nullopt;
    const std::string terminated(text);
    IpAddress address;
    if (inet_pton(AF_INET, terminated.c_str(), address.bytes.data()) == 1)
        return address;
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
