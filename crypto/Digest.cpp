#include "crypto/Digest.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

Sha256Digest Sha256(std::string_view data) {
    Sha256Digest d{};
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), d.data(), &size, EVP_sha256(), nullptr);
    return d;
}

Sha256Digest HmacSha256(std::string_view key, std::string_view message) {
    Sha256Digest d{};
    unsigned int size = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()),
         reinterpret_cast<const unsigned char *>(message.data()), message.size(), d.data(), &size);
    return d;
}

std::string Pbkdf2HmacSha256(std::string_view password, std::string_view salt, int iterations, std::size_t length) {
    if (iterations < 1 || length == 0 || password.size() > INT32_MAX || salt.size() > INT32_MAX || length > INT32_MAX)
        return {};
    std::string out(length, '\0');
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char *>(salt.data()), static_cast<int>(salt.size()),
                          iterations, EVP_sha256(), static_cast<int>(length),
                          reinterpret_cast<unsigned char *>(out.data())) != 1)
        return {};
    return out;
}

std::string ToHex(const std::uint8_t *data, std::size_t size) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(size * 2);
    for (std::size_t i = 0; i < size; ++i) {
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}
