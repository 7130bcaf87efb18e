#pragma once

// Secret random bytes (salts, serial numbers) from OpenSSL's generator.

#include <optional>
#include <string>

// `count` random bytes, or nothing when the generator cannot be seeded; never a predictable substitute.
std::optional<std::string> RandomBytes(std::size_t count);
