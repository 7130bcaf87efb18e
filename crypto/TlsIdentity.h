#pragma once

// The headless bot's TLS identity: a self-signed certificate (EC P-256, CN "gabbler-headless", valid for 50 years)
// and its private key, made at the first start and kept in a folder the bot owns:
//
//     std::string error;
//     const auto identity = LoadOrCreateTlsIdentity(dataFolder, error);
//     if (!identity) ... error is a sentence for the user, naming the file ...
//     ... identity->fingerprint is what a window will see and remember ...
//
// The key file is created readable by its owner only; both files are written atomically (the key first, so a
// crash between the two leaves a key without a certificate, for which the next start makes a new one). A file
// that exists but cannot be read or is not what it should be is an error: the bot never replaces an identity that
// windows may already remember.

#include <optional>
#include <string>

inline constexpr const char *kTlsCertificateFileName = "tls-certificate.pem";
inline constexpr const char *kTlsKeyFileName = "tls-key.pem";

struct TlsIdentity {
    std::string certificateFile; // PEM
    std::string keyFile;         // PEM, PKCS #8, not encrypted
    std::string fingerprint;     // of the certificate, see Fingerprint.h
    bool created = false;        // this call made the certificate
};

std::optional<TlsIdentity> LoadOrCreateTlsIdentity(const std::string &folder, std::string &error);
