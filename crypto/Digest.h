#pragma once

// Hashes and key derivation, all computed by OpenSSL.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using Sha256Digest = std::array<std::uint8_t, 32>;

Sha256Digest Sha256(std::string_view data);
Sha256Digest HmacSha256(std::string_view key, std::string_view message);

// PBKDF2 with HMAC-SHA-256: `length` bytes derived from the password and salt. Empty only when the library fails
// (out of memory) or the arguments are out of its range (iterations < 1, length 0).
std::string Pbkdf2HmacSha256(std::string_view password, std::string_view salt, int iterations, std::size_t length);

// Lower-case hex, two digits a byte.
std::string ToHex(const std::uint8_t *data, std::size_t size);
inline std::string ToHex(std::string_view bytes) {
    return ToHex(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
}
