#include "common/Ipv4.h"

#include <array>
#include <cstring>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

struct TextCase {
    const char *text;
    bool valid;                          // what IsValidIpAddress says
    std::optional<std::uint32_t> parsed; // what the conversion reads, in host order
};

TEST(Ipv4Text, CheckAndConversionAgreeOnEveryForm) {
    const TextCase cases[] = {
        {"127.0.0.1", true, 0x7F000001},
        {"1.2.3.4", true, 0x01020304},
        {"255.255.255.254", true, 0xFFFFFFFE},
        // Leading zeros are decimal, never octal.
        {"010.0.0.1", true, 0x0A000001},
        {"0000000000000000000192.168.000.01", true, 0xC0A80001},
        {"08.09.0.1", true, 0x08090001},
        // Refused by the check but still addresses to read or show.
        {"0.0.0.0", false, 0x00000000},
        {"255.255.255.255", false, 0xFFFFFFFF},
        // The classic shorthand forms are not dotted quads here.
        {"127.1", false, std::nullopt},
        {"10.1.1", false, std::nullopt},
        {"4294967295", false, std::nullopt},
        {"0x7f.0.0.1", false, std::nullopt},
        {"1.2.3.4.5", false, std::nullopt},
        // Anything but digits and dots.
        {" 1.2.3.4", false, std::nullopt},
        {"1.2.3.4 ", false, std::nullopt},
        {"+1.2.3.4", false, std::nullopt},
        {"1.-2.3.4", false, std::nullopt},
        {"1.2.3.4\n", false, std::nullopt},
        {"1.2.3.\xd9\xa4", false, std::nullopt},
        // Empty parts.
        {"", false, std::nullopt},
        {"...", false, std::nullopt},
        {".1.2.3", false, std::nullopt},
        {"1.2.3.", false, std::nullopt},
        {"1..2.3", false, std::nullopt},
        {"1.2.3.4.", false, std::nullopt},
        // Parts above 255, however long.
        {"256.0.0.1", false, std::nullopt},
        {"1.2.3.256", false, std::nullopt},
        {"1.2.3.99999999999999999999999999", false, std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(IsValidIpAddress(c.text), c.valid) << "text: '" << c.text << "'";
        EXPECT_EQ(DottedTextToHostOrder(c.text), c.parsed) << "text: '" << c.text << "'";
    }
}

TEST(Ipv4Text, RefusesAnEmbeddedNul) {
    const std::string text("1.2.3.4\0", 8);
    EXPECT_FALSE(IsValidIpAddress(text));
}

// Network order is the in-memory byte sequence of a socket address, whatever the machine's endianness.
TEST(Ipv4ByteOrder, NetworkOrderHoldsThePartsInMemoryOrder) {
    const auto value = DottedTextToNetworkOrder("192.168.10.1");
    ASSERT_TRUE(value.has_value());
    std::array<unsigned char, 4> bytes{};
    std::memcpy(bytes.data(), &*value, 4);
    EXPECT_EQ(bytes, (std::array<unsigned char, 4>{192, 168, 10, 1}));
    EXPECT_EQ(HostOrderFromNetworkOrder(*value), 0xC0A80A01u);
    EXPECT_FALSE(DottedTextToNetworkOrder("192.168.10").has_value());
}

TEST(Ipv4ByteOrder, TextRoundTripsInBothOrders) {
    const std::uint32_t addresses[] = {0, 1, 0x7F000001, 0x80000000, 0xC0A80A01, 0xFFFFFFFF};
    for (const auto address : addresses) {
        const std::string text = HostOrderToDottedText(address);
        EXPECT_EQ(DottedTextToHostOrder(text), address) << text;
        const std::int32_t network = NetworkOrderFromHostOrder(address);
        EXPECT_EQ(HostOrderFromNetworkOrder(network), address) << text;
        EXPECT_EQ(NetworkOrderToDottedText(network), text);
    }
    EXPECT_EQ(HostOrderToDottedText(0x0A000001), "10.0.0.1");
    EXPECT_EQ(HostOrderToDottedText(0xFFFFFFFF), "255.255.255.255");
}

} // namespace
