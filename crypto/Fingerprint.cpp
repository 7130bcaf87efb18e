#include "crypto/Fingerprint.h"

#include "crypto/OpensslPtr.h"

#include <climits>
#include <openssl/pem.h>

namespace {
constexpr std::size_t kDigestBytes = 32;
constexpr std::size_t kFingerprintLength = kDigestBytes * 3 - 1;
} // namespace

std::string CertificateFingerprint(X509 *certificate) {
    if (!certificate)
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &size) != 1 || size != kDigestBytes)
        return {};
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(kFingerprintLength);
    for (unsigned int i = 0; i < size; ++i) {
        if (i > 0)
            out += ':';
        out += digits[digest[i] >> 4];
        out += digits[digest[i] & 15];
    }
    return out;
}

std::string CertificateFingerprintOfPem(std::string_view pem) {
    if (pem.size() > INT_MAX)
        return {};
    BioPtr bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    X509Ptr certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!certificate) {
        TakeOpensslError();
        return {};
    }
    return CertificateFingerprint(certificate.get());
}

std::string NormalizedFingerprint(std::string_view text) {
    if (text.size() != kFingerprintLength)
        return {};
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const char c = out[i];
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (i % 3 == 2 ? c != ':' : !hex)
            return {};
        if (c >= 'a' && c <= 'f')
            out[i] = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}
