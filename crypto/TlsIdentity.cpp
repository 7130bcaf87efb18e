#include "crypto/TlsIdentity.h"

#include "common/AtomicFile.h"
#include "crypto/Fingerprint.h"
#include "crypto/OpensslPtr.h"
#include "crypto/Random.h"
#include "crypto/SmallFile.h"

#include <cstring>
#include <openssl/err.h>
#include <openssl/pem.h>

namespace {

constexpr const char *kCommonName = "gabbler-headless";
constexpr long kValidDays = 50 * 365;

// PEM files of one key or certificate are a few kilobytes; anything larger is not ours.
constexpr std::size_t kMaxPemSize = 64 * 1024;

BioPtr MemoryOf(const std::string &text) { return BioPtr(BIO_new_mem_buf(text.data(), static_cast<int>(text.size()))); }

std::string TextOf(BIO *bio) {
    char *data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

KeyPtr NewKey() { return KeyPtr(EVP_EC_gen("P-256")); }

X509Ptr NewCertificate(EVP_PKEY *key) {
    X509Ptr certificate(X509_new());
    const auto serialBytes = RandomBytes(16);
    if (!certificate || !serialBytes)
        return nullptr;
    std::string serial = *serialBytes;
    serial[0] = static_cast<char>(serial[0] & 0x7f); // a positive number
    BignumPtr number(
        BN_bin2bn(reinterpret_cast<const unsigned char *>(serial.data()), static_cast<int>(serial.size()), nullptr));
    X509_NAME *name = X509_get_subject_name(certificate.get());
    // The clocks of a window and its bot may differ; the day's margin keeps a new certificate usable at once.
    const bool ok = number && X509_set_version(certificate.get(), X509_VERSION_3) == 1 &&
                    BN_to_ASN1_INTEGER(number.get(), X509_get_serialNumber(certificate.get())) &&
                    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), -24L * 3600) &&
                    X509_time_adj_ex(X509_getm_notAfter(certificate.get()), static_cast<int>(kValidDays), 0, nullptr) &&
                    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                               reinterpret_cast<const unsigned char *>(kCommonName), -1, -1, 0) == 1 &&
                    X509_set_issuer_name(certificate.get(), name) == 1 &&
                    X509_set_pubkey(certificate.get(), key) == 1 && X509_sign(certificate.get(), key, EVP_sha256()) > 0;
    return ok ? std::move(certificate) : nullptr;
}

bool WriteKey(EVP_PKEY *key, const std::string &path, std::string &error) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        error = "Cannot make a private key for TLS: " + TakeOpensslError() + ".";
        return false;
    }
    std::string pem = TextOf(bio.get());
    const FileResult written = WriteFileAtomically(path, pem, true);
    OPENSSL_cleanse(pem.data(), pem.size());
    if (!written.ok)
        error = written.error;
    return written.ok;
}

bool WriteCertificate(X509 *certificate, const std::string &path, std::string &error) {
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || PEM_write_bio_X509(bio.get(), certificate) != 1) {
        error = "Cannot make a TLS certificate: " + TakeOpensslError() + ".";
        return false;
    }
    const FileResult written = WriteFileAtomically(path, TextOf(bio.get()));
    if (!written.ok)
        error = written.error;
    return written.ok;
}

KeyPtr ParseKey(const std::string &pem, const std::string &path, std::string &error) {
    BioPtr bio = MemoryOf(pem);
    KeyPtr key(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key)
        error = path + " does not hold a readable private key (" + TakeOpensslError() +
                "). Restore it from a backup, or delete it and " + kTlsCertificateFileName +
                " beside it to make a new pair; windows that attached before then refuse the new certificate "
                "until its line is removed from their list of known fingerprints.";
    return key;
}

X509Ptr ParseCertificate(const std::string &pem, const std::string &path, std::string &error) {
    BioPtr bio = MemoryOf(pem);
    X509Ptr certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!certificate)
        error = path + " does not hold a readable certificate (" + TakeOpensslError() +
                "). Restore it from a backup, or delete it to make a new one; windows that attached before then "
                "refuse the new certificate until its line is removed from their list of known fingerprints.";
    return certificate;
}

} // namespace

std::optional<TlsIdentity> LoadOrCreateTlsIdentity(const std::string &folder, std::string &error) {
    ERR_clear_error();
    TlsIdentity identity;
    identity.certificateFile = folder + "/" + kTlsCertificateFileName;
    identity.keyFile = folder + "/" + kTlsKeyFileName;

    std::string keyPem, certificatePem;
    const FileRead keyRead = ReadSmallFile(identity.keyFile, keyPem, error, kMaxPemSize);
    if (keyRead == FileRead::Failed)
        return std::nullopt;
    const FileRead certificateRead = ReadSmallFile(identity.certificateFile, certificatePem, error, kMaxPemSize);
    if (certificateRead == FileRead::Failed)
        return std::nullopt;
    if (keyRead == FileRead::Missing && certificateRead == FileRead::Read) {
        error = identity.certificateFile + " has no private key beside it (" + identity.keyFile +
                " is missing). Restore the key, or delete the certificate to make a new pair; windows that attached "
                "before then refuse the new certificate until its line is removed from their list of known "
                "fingerprints.";
        return std::nullopt;
    }

    KeyPtr key;
    if (keyRead == FileRead::Read) {
        key = ParseKey(keyPem, identity.keyFile, error);
        OPENSSL_cleanse(keyPem.data(), keyPem.size());
        if (!key)
            return std::nullopt;
    } else {
        key = NewKey();
        if (!key) {
            error = "Cannot make a private key for TLS: " + TakeOpensslError() + ".";
            return std::nullopt;
        }
        if (!WriteKey(key.get(), identity.keyFile, error))
            return std::nullopt;
    }

    X509Ptr certificate;
    if (certificateRead == FileRead::Read) {
        certificate = ParseCertificate(certificatePem, identity.certificateFile, error);
        if (!certificate)
            return std::nullopt;
        if (X509_check_private_key(certificate.get(), key.get()) != 1) {
            TakeOpensslError();
            error = "The key in " + identity.keyFile + " does not belong to the certificate in " +
                    identity.certificateFile +
                    ". Put back the pair that belongs together, or delete both to make a "
                    "new pair.";
            return std::nullopt;
        }
    } else {
        certificate = NewCertificate(key.get());
        if (!certificate) {
            error = "Cannot make a TLS certificate: " + TakeOpensslError() + ".";
            return std::nullopt;
        }
        if (!WriteCertificate(certificate.get(), identity.certificateFile, error))
            return std::nullopt;
        identity.created = true;
    }
    identity.fingerprint = CertificateFingerprint(certificate.get());
    error.clear();
    return identity;
}
