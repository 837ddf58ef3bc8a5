#pragma once
// A client address of a log line as the DNS checks need it: parsed, compared by value, and named
// for its reverse lookup.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

struct IpAddress {
    bool v6 = false;
    std::array<std::uint8_t, 16> bytes{}; // IPv4 uses the first four

    bool operator==(const IpAddress&) const = default;
};

// Parses dotted IPv4 or textual IPv6; an IPv4-mapped IPv6 address ("::ffff:1.2.3.4") is taken as
// the IPv4 address it carries. Nothing for any other text.
std::optional<IpAddress> parseIpAddress(std::string_view text);

// The address in its canonical text form ("1.2.3.4", "2001:db8::1").
std::string ipAddressText(const IpAddress& address);

// The name of the address's PTR record: "4.3.2.1.in-addr.arpa" or the 32 nibbles under "ip6.arpa".
std::string reverseLookupName(const IpAddress& address);

} // namespace quill
