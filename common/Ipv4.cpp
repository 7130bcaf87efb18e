#include "common/Ipv4.h"

#include <array>
#include <cstring>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::optional<std::uint32_t> DottedTextToHostOrder(std::string_view text) {
    std::uint32_t address = 0;
    int parts = 0;
    std::size_t i = 0;
    while (true) {
        if (i >= text.size() || !IsDigit(text[i]))
            return std::nullopt; // an empty part, or something other than a digit
        unsigned value = 0;
        for (; i < text.size() && IsDigit(text[i]); ++i) {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (value > 255)
                return std::nullopt; // stops before a long run of digits could overflow
        }
        address = (address << 8) | value;
        ++parts;
        if (i == text.size())
            break;
        if (text[i] != '.' || parts == 4)
            return std::nullopt;
        ++i;
    }
    if (parts != 4)
        return std::nullopt;
    return address;
}

bool IsValidIpAddress(std::string_view text) {
    if (text == "255.255.255.255" || text == "0.0.0.0")
        return false;
    return DottedTextToHostOrder(text).has_value();
}

std::int32_t NetworkOrderFromHostOrder(std::uint32_t address) {
    const std::array<unsigned char, 4> bytes = {
        static_cast<unsigned char>(address >> 24), static_cast<unsigned char>(address >> 16),
        static_cast<unsigned char>(address >> 8), static_cast<unsigned char>(address)};
    std::int32_t value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

std::uint32_t HostOrderFromNetworkOrder(std::int32_t address) {
    std::array<unsigned char, 4> bytes{};
    std::memcpy(bytes.data(), &address, sizeof address);
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

std::optional<std::int32_t> DottedTextToNetworkOrder(std::string_view text) {
    const auto address = DottedTextToHostOrder(text);
    if (!address)
        return std::nullopt;
    return NetworkOrderFromHostOrder(*address);
}

std::string HostOrderToDottedText(std::uint32_t address) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        if (!text.empty())
            text += '.';
        text += std::to_string((address >> shift) & 0xFF);
    }
    return text;
}

std::string NetworkOrderToDottedText(std::int32_t address) {
    return HostOrderToDottedText(HostOrderFromNetworkOrder(address));
}
