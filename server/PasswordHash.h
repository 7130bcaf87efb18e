#pragma once

// Privilege passwords are stored only as salted, stretched hashes: "pbkdf2-sha256$<iterations>$<salt>$<hash>", salt
// and hash in lower-case hex.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

std::array<std::uint8_t, 32> Sha256(std::string_view data);
std::string ToHex(const std::uint8_t *data, std::size_t size);

std::string HashPassword(std::string_view password, int iterations);
// Also used for a salt given by tests, so that known answers can be checked.
std::string HashPasswordWithSalt(std::string_view password, std::string_view salt, int iterations);
// Compares in time independent of where the hashes differ. False for a malformed stored hash.
bool VerifyPassword(std::string_view password, std::string_view stored);
