#pragma once

// Comparing secrets (passwords, digests) without telling an attacker, through the time taken, how much of a guess
// was right.

#include <string_view>

// True when a and b hold the same bytes. The time depends only on the two lengths, never on the contents; texts of
// different lengths are compared through their SHA-256 digests, so a guess does not learn the secret's length by
// where the comparison stops either.
bool ConstantTimeEquals(std::string_view a, std::string_view b);
