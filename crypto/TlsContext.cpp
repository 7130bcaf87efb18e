#include "crypto/TlsContext.h"

#include "crypto/Fingerprint.h"
#include "crypto/OpensslPtr.h"
#include "crypto/TlsIdentity.h"

#include <asio/ssl/verify_context.hpp>
#include <openssl/err.h>
#include <openssl/ssl.h>

namespace {

std::unique_ptr<asio::ssl::context> NewContext(asio::ssl::context::method method, std::string &error) {
    ERR_clear_error();
    try {
        auto context = std::make_unique<asio::ssl::context>(method);
        if (SSL_CTX_set_min_proto_version(context->native_handle(), TLS1_2_VERSION) != 1) {
            error = "Cannot require TLS 1.2: " + TakeOpensslError() + ".";
            return nullptr;
        }
        context->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_compression);
        return context;
    } catch (const std::system_error &e) {
        error = std::string("Cannot set up TLS: ") + e.what() + ".";
        return nullptr;
    }
}

} // namespace

std::unique_ptr<asio::ssl::context> MakeTlsServerContext(const TlsIdentity &identity, std::string &error) {
    auto context = NewContext(asio::ssl::context::tls_server, error);
    if (!context)
        return nullptr;
    asio::error_code ec;
    context->use_certificate_chain_file(identity.certificateFile, ec);
    if (ec) {
        error = "Cannot use the certificate " + identity.certificateFile + ": " + ec.message() + ".";
        return nullptr;
    }
    context->use_private_key_file(identity.keyFile, asio::ssl::context::pem, ec);
    if (ec) {
        error = "Cannot use the private key " + identity.keyFile + ": " + ec.message() + ".";
        return nullptr;
    }
    if (SSL_CTX_check_private_key(context->native_handle()) != 1) {
        error = "The key in " + identity.keyFile + " does not belong to the certificate in " +
                identity.certificateFile + ": " + TakeOpensslError() + ".";
        return nullptr;
    }
    return context;
}

std::unique_ptr<asio::ssl::context> MakeTlsClientContext(FingerprintCheck check, std::string &error) {
    auto context = NewContext(asio::ssl::context::tls_client, error);
    if (!context)
        return nullptr;
    asio::error_code ec;
    context->set_verify_mode(asio::ssl::verify_peer, ec);
    if (!ec)
        // The bot's certificate is its own, signed by no authority: OpenSSL's verdict on the chain says nothing
        // here, and the fingerprint of the certificate the bot proves it holds the key of decides alone.
        context->set_verify_callback(
            [check = std::move(check)](bool, asio::ssl::verify_context &verify) {
                X509_STORE_CTX *store = verify.native_handle();
                if (X509_STORE_CTX_get_error_depth(store) > 0)
                    return true;
                const std::string fingerprint = CertificateFingerprint(X509_STORE_CTX_get_current_cert(store));
                const bool accepted = !fingerprint.empty() && check && check(fingerprint);
                if (accepted)
                    X509_STORE_CTX_set_error(store, X509_V_OK);
                return accepted;
            },
            ec);
    if (ec) {
        error = "Cannot set up the check of the bot's certificate: " + ec.message() + ".";
        return nullptr;
    }
    return context;
}
