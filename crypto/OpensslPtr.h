#pragma once

// Owning pointers for the OpenSSL objects this folder uses, and the library's last error as text.

#include <memory>
#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <string>

struct OpensslFree {
    void operator()(BIO *p) const { BIO_free_all(p); }
    void operator()(BIGNUM *p) const { BN_free(p); }
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
    void operator()(X509 *p) const { X509_free(p); }
};
using BioPtr = std::unique_ptr<BIO, OpensslFree>;
using BignumPtr = std::unique_ptr<BIGNUM, OpensslFree>;
using KeyPtr = std::unique_ptr<EVP_PKEY, OpensslFree>;
using X509Ptr = std::unique_ptr<X509, OpensslFree>;

// The oldest error OpenSSL queued for this thread ("unknown error" when none), and the queue emptied.
std::string TakeOpensslError();
