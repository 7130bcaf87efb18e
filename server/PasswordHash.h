#pragma once

// Privilege passwords are stored only as salted, stretched hashes: "pbkdf2-sha256$<iterations>$<salt>$<hash>", salt
// and hash in lower-case hex.

#include "common/Sha256.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

std::string HashPassword(std::string_view password, int iterations);
// Also used for a salt given by tests, so that known answers can be checked.
std::string HashPasswordWithSalt(std::string_view password, std::string_view salt, int iterations);
// Compares in time independent of where the hashes differ. False for a malformed stored hash.
bool VerifyPassword(std::string_view password, std::string_view stored);
