#pragma once

// Certificate fingerprints as people compare them: the SHA-256 of the certificate's DER encoding, 32 bytes in
// upper-case hex pairs joined by colons ("3A:0F:...:C2"), as `openssl x509 -fingerprint -sha256` shows them.

#include <openssl/types.h>
#include <string>
#include <string_view>

std::string CertificateFingerprint(X509 *certificate); // empty for none
// The fingerprint of the first certificate of a PEM text; empty when it holds none.
std::string CertificateFingerprintOfPem(std::string_view pem);
// The fingerprint in the form above when `text` is one, whatever the case of its letters; empty otherwise.
std::string NormalizedFingerprint(std::string_view text);
