#pragma once

// asio TLS contexts for attaching a window to a headless bot. Both ends speak TLS 1.2 or newer.
//
// The bot's side serves its self-signed certificate (TlsIdentity.h):
//
//     auto context = MakeTlsServerContext(identity, error);
//     asio::ssl::stream<asio::ip::tcp::socket> stream(std::move(socket), *context);
//     stream.async_handshake(asio::ssl::stream_base::server, ...);
//
// The window's side trusts no authority: it accepts the bot's certificate only when `check` accepts its
// fingerprint, typically a KnownFingerprints look-up for the HOST:PORT being attached to, so make one context per
// attach:
//
//     std::string refusal;
//     auto context = MakeTlsClientContext([&](const std::string &fingerprint) {
//         const FingerprintVerdict v = known.Check(hostPort, fingerprint);
//         refusal = v.accepted ? std::string() : v.message;
//         return v.accepted;
//     }, error);
//
// A refused fingerprint fails the handshake (asio reports "certificate verify failed"); show `refusal` then. The
// check runs on the thread that runs the handshake.

#include <asio/ssl/context.hpp>
#include <functional>
#include <memory>
#include <string>

struct TlsIdentity;

// True accepts the peer whose certificate has this fingerprint (in the form of Fingerprint.h).
using FingerprintCheck = std::function<bool(const std::string &fingerprint)>;

// Null, with `error` a sentence, when the certificate or key cannot be loaded.
std::unique_ptr<asio::ssl::context> MakeTlsServerContext(const TlsIdentity &identity, std::string &error);
std::unique_ptr<asio::ssl::context> MakeTlsClientContext(FingerprintCheck check, std::string &error);
