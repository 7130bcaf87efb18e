#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Dotted IPv4 text. Every part is read as decimal: leading zeros are allowed and never switch to octal, so
// "010.0.0.1" is 10.0.0.1, the address the user typed.
//
// Two byte orders meet here. Host order is the address as one number, first part in the top byte (1.2.3.4 is
// 0x01020304). Network order is what the SDK carries in its 32-bit address attributes (the avatar address and the
// ejection key): the number whose bytes in memory read 1, 2, 3, 4, as a socket address holds it.

// True when the text may be sent as an address: four dot-separated runs of decimal digits, each at most 255 (any
// number of leading zeros), nothing else, and neither "0.0.0.0" nor "255.255.255.255".
bool IsValidIpAddress(std::string_view text);

// The address of four dot-separated decimal parts of at most 255 each, in host order; nothing for any other text
// (blanks, signs, "0x", missing or empty parts). Unlike IsValidIpAddress it reads "0.0.0.0" and
// "255.255.255.255", which are addresses even though they are never sent.
std::optional<std::uint32_t> DottedTextToHostOrder(std::string_view text);
std::optional<std::int32_t> DottedTextToNetworkOrder(std::string_view text);

std::string HostOrderToDottedText(std::uint32_t address);
std::string NetworkOrderToDottedText(std::int32_t address);

std::int32_t NetworkOrderFromHostOrder(std::uint32_t address);
std::uint32_t HostOrderFromNetworkOrder(std::int32_t address);
