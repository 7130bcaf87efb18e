#include "server/PasswordHash.h"

#include "common/Sha256.h"

#include <charconv>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Digest = std::array<std::uint8_t, 32>;

// PBKDF2 with HMAC-SHA-256, one output block.
Digest Pbkdf2(std::string_view password, std::string_view salt, int iterations) {
    std::string first(salt);
    first.append("\0\0\0\1", 4);
    Digest u = HmacSha256(password, first);
    Digest result = u;
    for (int i = 1; i < iterations; ++i) {
        u = HmacSha256(password, std::string_view(reinterpret_cast<const char *>(u.data()), u.size()));
        for (std::size_t k = 0; k < result.size(); ++k)
            result[k] ^= u[k];
    }
    return result;
}

} // namespace

std::string HashPasswordWithSalt(std::string_view password, std::string_view salt, int iterations) {
    if (iterations < 1)
        iterations = 1;
    const Digest d = Pbkdf2(password, salt, iterations);
    return "pbkdf2-sha256$" + std::to_string(iterations) + "$" + std::string(salt) + "$" + ToHex(d.data(), d.size());
}

std::string HashPassword(std::string_view password, int iterations) {
    std::random_device random;
    std::uint8_t salt[16];
    for (auto &b : salt)
        b = static_cast<std::uint8_t>(random());
    return HashPasswordWithSalt(password, ToHex(salt, sizeof salt), iterations);
}

bool VerifyPassword(std::string_view password, std::string_view stored) {
    constexpr std::string_view prefix = "pbkdf2-sha256$";
    if (stored.substr(0, prefix.size()) != prefix)
        return false;
    std::string_view rest = stored.substr(prefix.size());
    const auto dollar1 = rest.find('$');
    if (dollar1 == std::string_view::npos)
        return false;
    int iterations = 0;
    const auto iterText = rest.substr(0, dollar1);
    const auto [end, ec] = std::from_chars(iterText.data(), iterText.data() + iterText.size(), iterations);
    // A hand-edited store must not make a login spin for hours.
    if (ec != std::errc() || end != iterText.data() + iterText.size() || iterations < 1 || iterations > 10000000)
        return false;
    rest = rest.substr(dollar1 + 1);
    const auto dollar2 = rest.find('$');
    if (dollar2 == std::string_view::npos)
        return false;
    const std::string expected = HashPasswordWithSalt(password, rest.substr(0, dollar2), iterations);
    if (expected.size() != stored.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < expected.size(); ++i)
        diff |= static_cast<unsigned char>(expected[i] ^ stored[i]);
    return diff == 0;
}
