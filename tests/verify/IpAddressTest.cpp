#include "verify/IpAddress.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace quill;

namespace {

// What the system's own parser makes of `text` as IPv4: the reference the in-place parse follows.
std::optional<IpAddress> systemIpv4(const std::string& text)
{
    IpAddress address;
    if (inet_pton(AF_INET, text.c_str(), address.bytes.data()) != 1)
        return std::nullopt;
    return address;
}

TEST(IpAddress, dottedIpv4AsTheSystemParsesIt)
{
    const char* const cases[] = {
        // accepted
        "0.0.0.0", "255.255.255.255", "1.2.3.4", "10.0.0.1", "192.168.100.200", "9.99.199.249",
        // refused: leading zeros, values past 255, parts missing or extra, stray bytes
        "01.2.3.4", "1.2.3.04", "00.0.0.0", "256.1.1.1", "1.2.3.256", "1.2.3.999", "1234.1.1.1",
        "1.2.3", "1.2.3.4.", ".1.2.3.4", "1..2.3", "1.2.3.4.5", "1.2.3.", "1.2.3.4 ", " 1.2.3.4",
        "1.2.3.4x", "1.2.3.-4", "1.2.3.+4", "0x1.2.3.4", "1.2.3.4/24", "-", "", ".", "...",
    };
    for (const char* text : cases) {
        const auto ours = parseIpAddress(text);
        const auto system = systemIpv4(text);
        ASSERT_EQ(ours.has_value(), system.has_value()) << text;
        if (ours) {
            EXPECT_EQ(*ours, *system) << text;
        }
    }
}

TEST(IpAddress, randomDigitsAndDotsAgreeWithTheSystem)
{
    // Short runs of digits and dots: every way a dotted address can go wrong, and many right ones.
    std::mt19937 random(7);
    const std::string alphabet = "0123456789..2515";
    for (int i = 0; i < 50000; ++i) {
        std::string text;
        const size_t length = 1 + random() % 17;
        for (size_t k = 0; k < length; ++k)
            text += alphabet[random() % alphabet.size()];
        const auto ours = parseIpAddress(text);
        const auto system = systemIpv4(text);
        ASSERT_EQ(ours.has_value(), system.has_value()) << text;
        if (ours) {
            ASSERT_EQ(*ours, *system) << text;
        }
    }
}

TEST(IpAddress, aNulInsideTheTokenIsNoAddress)
{
    using namespace std::string_literals;
    for (const std::string& text : {"1.2.3.4\0"s, "1.2.3.4\0.5"s, "2001:db8::1\0"s, "::1\0junk"s})
        EXPECT_FALSE(parseIpAddress(text)) << text.c_str();
}

} // namespace
