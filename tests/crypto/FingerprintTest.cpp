// Certificate fingerprints in the form people compare them in.

#include "crypto/Fingerprint.h"

#include <gtest/gtest.h>

namespace {

// A certificate made once with the openssl command line; its fingerprint as `openssl x509 -fingerprint -sha256`
// printed it.
constexpr const char *kFixture = R"(-----BEGIN CERTIFICATE-----
MIIBejCCAR+gAwIBAgIUMXUb3DLC/lNXvD+0dVEHXCrHU/cwCgYIKoZIzj0EAwIw
EjEQMA4GA1UEAwwHZml4dHVyZTAeFw0yNjEyMTAxNDUyMTBaFw0zNjEyMDcxNDUy
MTBaMBIxEDAOBgNVBAMMB2ZpeHR1cmUwWTATBgcqhkjOPQIBBggqhkjOPQMBBwNC
AARmldvZTHjdTJrIPSWeqs6ikxDNK+DpkbPezrkTjhUmoYce8HfGVxdaKZgLmxDG
I10Ew0NMih24TgcHRh6hJB4fo1MwUTAdBgNVHQ4EFgQUc2CFe1JUGT5y9lezSxgk
qx1mDtMwHwYDVR0jBBgwFoAUc2CFe1JUGT5y9lezSxgkqx1mDtMwDwYDVR0TAQH/
BAUwAwEB/zAKBggqhkjOPQQDAgNJADBGAiEA5eypxgd/gx3WGLzMwCAXIeEaA5bd
bW0eKranAkgF3OECIQDxSmU0cTplFDKrFIgkVa6DlJajqyyx5le5veaQgtx3LA==
-----END CERTIFICATE-----
)";
constexpr const char *kFixtureFingerprint =
    "77:B4:A3:B8:E3:DE:E6:17:5E:92:EC:5D:86:C6:18:FF:81:1A:A0:E0:CB:BE:60:3B:9F:15:D1:4A:B6:1D:38:A6";

TEST(Fingerprint, IsTheSha256OfTheCertificateInColonSeparatedCapitals) {
    EXPECT_EQ(CertificateFingerprintOfPem(kFixture), kFixtureFingerprint);
    EXPECT_EQ(CertificateFingerprintOfPem(""), "");
    EXPECT_EQ(CertificateFingerprintOfPem("-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"), "");
    EXPECT_EQ(CertificateFingerprint(nullptr), "");
}

TEST(Fingerprint, TextIsNormalizedOnlyWhenItIsOne) {
    const std::string lower =
        "77:b4:a3:b8:e3:de:e6:17:5e:92:ec:5d:86:c6:18:ff:81:1a:a0:e0:cb:be:60:3b:9f:15:d1:4a:b6:1d:38:a6";
    const std::string fingerprint = kFixtureFingerprint;
    const struct {
        std::string text, normalized;
    } cases[] = {
        {fingerprint, fingerprint},
        {lower, fingerprint},
        {fingerprint.substr(3), ""},                                              // a byte short
        {fingerprint + ":00", ""},                                                // a byte more
        {std::string(fingerprint).replace(2, 1, "-"), ""},                        // another separator
        {std::string(fingerprint).replace(0, 1, "G"), ""},                        // not hex
        {"77B4A3B8E3DEE6175E92EC5D86C618FF811AA0E0CBBE603B9F15D14AB61D38A6", ""}, // no colons
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(NormalizedFingerprint(c.text), c.normalized) << c.text;
}

} // namespace
