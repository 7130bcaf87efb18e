// The headless bot's certificate and key: made once, kept, and never silently replaced when something is wrong.

#include "crypto/TlsIdentity.h"

#include "TempDir.h"
#include "common/AtomicFile.h"
#include "crypto/Fingerprint.h"
#include "crypto/OpensslPtr.h"

#include <ctime>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

namespace {

X509Ptr ReadCertificate(const std::string &path) {
    const auto pem = ReadWholeFile(path);
    if (!pem)
        return nullptr;
    BioPtr bio(BIO_new_mem_buf(pem->data(), static_cast<int>(pem->size())));
    return X509Ptr(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
}

std::string CommonName(X509 *certificate) {
    char text[256] = {};
    X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, text, sizeof text);
    return text;
}

TEST(TlsIdentity, TheFirstStartMakesASelfSignedCertificateAndAnOwnerOnlyKey) {
    TempDir dir;
    std::string error;
    const auto identity = LoadOrCreateTlsIdentity(dir.Path(), error);
    ASSERT_TRUE(identity) << error;
    EXPECT_TRUE(identity->created);
    EXPECT_EQ(identity->certificateFile, dir.File("tls-certificate.pem"));
    EXPECT_EQ(identity->keyFile, dir.File("tls-key.pem"));

    struct stat key {};
    ASSERT_EQ(::stat(identity->keyFile.c_str(), &key), 0);
    EXPECT_EQ(key.st_mode & 0777, 0600u);

    const X509Ptr certificate = ReadCertificate(identity->certificateFile);
    ASSERT_TRUE(certificate);
    EXPECT_EQ(CommonName(certificate.get()), "gabbler-headless");
    EXPECT_EQ(X509_check_issued(certificate.get(), certificate.get()), X509_V_OK) << "self-signed";
    EXPECT_EQ(X509_verify(certificate.get(), X509_get0_pubkey(certificate.get())), 1) << "signed by its own key";
    EXPECT_EQ(EVP_PKEY_get_base_id(X509_get0_pubkey(certificate.get())), EVP_PKEY_EC);
    time_t fortyYears = std::time(nullptr) + 40L * 365 * 24 * 3600;
    EXPECT_EQ(X509_cmp_time(X509_get0_notAfter(certificate.get()), &fortyYears), 1) << "valid for decades";
    EXPECT_LT(X509_cmp_current_time(X509_get0_notBefore(certificate.get())), 0) << "valid from now on";

    EXPECT_EQ(identity->fingerprint, CertificateFingerprint(certificate.get()));
    EXPECT_EQ(identity->fingerprint, NormalizedFingerprint(identity->fingerprint));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2) << "no temporary left behind";
}

TEST(TlsIdentity, LaterStartsReuseThePair) {
    TempDir dir;
    std::string error;
    const auto first = LoadOrCreateTlsIdentity(dir.Path(), error);
    ASSERT_TRUE(first) << error;
    const auto key = ReadWholeFile(first->keyFile);
    const auto certificate = ReadWholeFile(first->certificateFile);
    const auto again = LoadOrCreateTlsIdentity(dir.Path(), error);
    ASSERT_TRUE(again) << error;
    EXPECT_FALSE(again->created);
    EXPECT_EQ(again->fingerprint, first->fingerprint);
    EXPECT_EQ(ReadWholeFile(first->keyFile), key);
    EXPECT_EQ(ReadWholeFile(first->certificateFile), certificate);
}

TEST(TlsIdentity, AKeyWithoutItsCertificateGetsANewCertificateForThatKey) {
    TempDir dir;
    std::string error;
    const auto first = LoadOrCreateTlsIdentity(dir.Path(), error);
    ASSERT_TRUE(first) << error;
    const auto key = ReadWholeFile(first->keyFile);
    std::filesystem::remove(first->certificateFile); // as a crash between writing the two would leave it
    const auto again = LoadOrCreateTlsIdentity(dir.Path(), error);
    ASSERT_TRUE(again) << error;
    EXPECT_TRUE(again->created);
    EXPECT_EQ(ReadWholeFile(first->keyFile), key);
    const X509Ptr certificate = ReadCertificate(again->certificateFile);
    ASSERT_TRUE(certificate);
    EXPECT_EQ(X509_verify(certificate.get(), X509_get0_pubkey(certificate.get())), 1);
}

TEST(TlsIdentity, AnUnreadableOrBrokenPairIsAnErrorThatNamesTheFileAndChangesNothing) {
    TempDir other;
    std::string error;
    const auto stranger = LoadOrCreateTlsIdentity(other.Path(), error);
    ASSERT_TRUE(stranger) << error;
    const std::string strangersKey = *ReadWholeFile(stranger->keyFile);

    const struct {
        const char *name;
        const char *file; // the file the case spoils, which the message must name
        std::function<void(const std::string &key, const std::string &certificate)> spoil;
    } cases[] = {
        {"a key that is not PEM", "tls-key.pem",
         [](const std::string &key, const std::string &) { WriteFileAtomically(key, "not a key\n", true); }},
        {"a truncated certificate", "tls-certificate.pem",
         [](const std::string &, const std::string &certificate) {
             const std::string pem = *ReadWholeFile(certificate);
             WriteFileAtomically(certificate, pem.substr(0, pem.size() / 2));
         }},
        {"a certificate without its key", "tls-key.pem",
         [](const std::string &key, const std::string &) { std::filesystem::remove(key); }},
        {"the key of another pair", "tls-key.pem",
         [&](const std::string &key, const std::string &) { WriteFileAtomically(key, strangersKey, true); }},
        {"a folder where the key belongs", "tls-key.pem",
         [](const std::string &key, const std::string &) {
             std::filesystem::remove(key);
             std::filesystem::create_directory(key);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const auto made = LoadOrCreateTlsIdentity(dir.Path(), error);
        ASSERT_TRUE(made) << error;
        c.spoil(made->keyFile, made->certificateFile);
        const auto key = ReadWholeFile(made->keyFile);
        const auto certificate = ReadWholeFile(made->certificateFile);
        error.clear();
        EXPECT_FALSE(LoadOrCreateTlsIdentity(dir.Path(), error));
        EXPECT_NE(error.find(dir.File(c.file)), std::string::npos) << error;
        EXPECT_EQ(ReadWholeFile(made->keyFile), key) << "the key is left as it was";
        EXPECT_EQ(ReadWholeFile(made->certificateFile), certificate) << "the certificate is left as it was";
    }
}

TEST(TlsIdentity, AFolderThatCannotBeWrittenIsAnError) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(LoadOrCreateTlsIdentity(dir.File("missing"), error));
    EXPECT_NE(error.find(dir.File("missing/tls-key.pem")), std::string::npos) << error;
}

} // namespace
