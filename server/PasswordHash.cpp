#include "server/PasswordHash.h"

#include "crypto/ConstantTime.h"
#include "crypto/Digest.h"
#include "crypto/Random.h"

#include <charconv>

namespace {

constexpr std::string_view kPrefix = "pbkdf2-sha256$";
constexpr std::size_t kHashBytes = 32;
constexpr std::size_t kSaltBytes = 16;
// A hand-edited store must not make a login spin for hours.
constexpr int kMaxIterations = 10000000;

struct StoredHash {
    int iterations = 0;
    std::string_view salt;
    std::string_view hash;
};

bool Parse(std::string_view stored, StoredHash &out) {
    if (stored.substr(0, kPrefix.size()) != kPrefix)
        return false;
    std::string_view rest = stored.substr(kPrefix.size());
    const auto dollar1 = rest.find('$');
    if (dollar1 == std::string_view::npos)
        return false;
    const auto iterText = rest.substr(0, dollar1);
    const auto [end, ec] = std::from_chars(iterText.data(), iterText.data() + iterText.size(), out.iterations);
    if (ec != std::errc() || end != iterText.data() + iterText.size() || out.iterations < 1 ||
        out.iterations > kMaxIterations)
        return false;
    rest = rest.substr(dollar1 + 1);
    const auto dollar2 = rest.find('$');
    if (dollar2 == std::string_view::npos)
        return false;
    out.salt = rest.substr(0, dollar2);
    out.hash = rest.substr(dollar2 + 1);
    return out.hash.size() == 2 * kHashBytes;
}

} // namespace

std::string HashPasswordWithSalt(std::string_view password, std::string_view salt, int iterations) {
    if (iterations < 1)
        iterations = 1;
    const std::string derived = Pbkdf2HmacSha256(password, salt, iterations, kHashBytes);
    if (derived.empty())
        return {};
    return std::string(kPrefix) + std::to_string(iterations) + "$" + std::string(salt) + "$" + ToHex(derived);
}

std::string HashPassword(std::string_view password, int iterations) {
    const auto salt = RandomBytes(kSaltBytes);
    if (!salt)
        return {};
    return HashPasswordWithSalt(password, ToHex(*salt), iterations);
}

bool VerifyPassword(std::string_view password, std::string_view stored) {
    StoredHash parsed;
    if (!Parse(stored, parsed))
        return false;
    const std::string derived = Pbkdf2HmacSha256(password, parsed.salt, parsed.iterations, kHashBytes);
    return !derived.empty() && ConstantTimeEquals(ToHex(derived), parsed.hash);
}

bool PasswordNeedsRehash(std::string_view stored, int iterations) {
    StoredHash parsed;
    if (!Parse(stored, parsed))
        return true;
    return parsed.iterations < iterations || parsed.salt.size() < 2 * kSaltBytes;
}
