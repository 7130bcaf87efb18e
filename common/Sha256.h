#pragma once

// SHA-256 and HMAC-SHA-256, for password hashes and for values derived from secrets that must not leave the
// machine as they are.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view data);
Sha256Digest HmacSha256(std::string_view key, std::string_view message);
std::string ToHex(const std::uint8_t *data, std::size_t size);
