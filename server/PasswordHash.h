#pragma once

// Privilege passwords are stored only as salted, stretched hashes: "pbkdf2-sha256$<iterations>$<salt>$<hash>", the
// hash in lower-case hex. The salt is used as the text it is stored as (new ones are 16 random bytes written as 32
// hex digits), so every hash stored so far keeps verifying.

#include <string>
#include <string_view>

// Empty only when no random salt can be had; the caller must not store that.
std::string HashPassword(std::string_view password, int iterations);
// Also used for a salt given by tests, so that known answers can be checked.
std::string HashPasswordWithSalt(std::string_view password, std::string_view salt, int iterations);
// Compares in time independent of where the hashes differ. False for a malformed stored hash.
bool VerifyPassword(std::string_view password, std::string_view stored);
// True when a stored hash is weaker than one made today with `iterations` (fewer iterations, a shorter salt), so a
// login that has just verified it should store a fresh one.
bool PasswordNeedsRehash(std::string_view stored, int iterations);
