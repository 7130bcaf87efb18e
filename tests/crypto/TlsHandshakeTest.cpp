// A TLS handshake over loopback between the bot's and the window's contexts: the window goes on only with the
// certificate it remembers for that bot.

#include "TempDir.h"
#include "common/AtomicFile.h"
#include "crypto/KnownFingerprints.h"
#include "crypto/TlsContext.h"
#include "crypto/TlsIdentity.h"

#include <asio.hpp>
#include <asio/ssl.hpp>
#include <gtest/gtest.h>
#include <openssl/ssl.h>

namespace {

using namespace std::chrono_literals;

struct Outcome {
    asio::error_code server = asio::error::timed_out, client = asio::error::timed_out;
    std::string received; // what the server read after the handshake
};

// One connection: the client says "ping" once its handshake is done.
Outcome Handshake(asio::ssl::context &serverContext, asio::ssl::context &clientContext) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    asio::ssl::stream<asio::ip::tcp::socket> server(io, serverContext), client(io, clientContext);
    Outcome outcome;
    std::string buffer(4, '\0');
    acceptor.async_accept(server.lowest_layer(), [&](asio::error_code ec) {
        if (ec) {
            outcome.server = ec;
            return;
        }
        server.async_handshake(asio::ssl::stream_base::server, [&](asio::error_code ec) {
            outcome.server = ec;
            if (!ec)
                asio::async_read(server, asio::buffer(buffer), [&](asio::error_code ec, std::size_t) {
                    if (!ec)
                        outcome.received = buffer;
                });
        });
    });
    client.lowest_layer().async_connect(acceptor.local_endpoint(), [&](asio::error_code ec) {
        if (ec) {
            outcome.client = ec;
            return;
        }
        client.async_handshake(asio::ssl::stream_base::client, [&](asio::error_code ec) {
            outcome.client = ec;
            if (!ec)
                asio::async_write(client, asio::buffer(std::string_view("ping")), [](asio::error_code, std::size_t) {});
        });
    });
    io.run_for(10s);
    return outcome;
}

class TlsHandshake : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        identity_ = *LoadOrCreateTlsIdentity(bot_.Path(), error);
        ASSERT_FALSE(identity_.fingerprint.empty()) << error;
        serverContext_ = MakeTlsServerContext(identity_, error);
        ASSERT_TRUE(serverContext_) << error;
    }

    // The window's context for this attach, checking against its list of known bots.
    std::unique_ptr<asio::ssl::context> ClientContext() {
        std::string error;
        auto context = MakeTlsClientContext(
            [this](const std::string &fingerprint) {
                const FingerprintVerdict v = KnownFingerprints(known_).Check("127.0.0.1:5871", fingerprint);
                refusal_ = v.accepted ? std::string() : v.message;
                return v.accepted;
            },
            error);
        EXPECT_TRUE(context) << error;
        return context;
    }

    TempDir bot_, window_;
    TlsIdentity identity_;
    std::unique_ptr<asio::ssl::context> serverContext_;
    const std::string known_ = window_.File("bot-fingerprints.txt");
    std::string refusal_;
};

TEST_F(TlsHandshake, SucceedsOnlyWithTheRememberedFingerprint) {
    const std::string other = "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF:"
                              "00:11:22:33:44:55:66:77:88:99:AA:BB:CC:DD:EE:FF";
    const struct {
        const char *name;
        std::string remembered; // the list's line for the bot before the attach; empty for none
        bool succeeds;
    } cases[] = {
        {"first attach", "", true},
        {"the remembered fingerprint", identity_.fingerprint, true},
        {"a different remembered fingerprint", other, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(known_);
        if (!c.remembered.empty()) {
            ASSERT_TRUE(WriteFileAtomically(known_, "127.0.0.1:5871 " + c.remembered + "\n").ok);
        }
        refusal_.clear();
        auto client = ClientContext();
        ASSERT_TRUE(client);
        const Outcome outcome = Handshake(*serverContext_, *client);
        if (c.succeeds) {
            EXPECT_FALSE(outcome.client) << outcome.client.message();
            EXPECT_FALSE(outcome.server) << outcome.server.message();
            EXPECT_EQ(outcome.received, "ping");
            EXPECT_EQ(refusal_, "");
            EXPECT_NE(ReadWholeFile(known_)->find(identity_.fingerprint), std::string::npos);
        } else {
            EXPECT_TRUE(outcome.client);
            EXPECT_TRUE(outcome.server) << "the bot sees the window give up";
            EXPECT_EQ(outcome.received, "");
            EXPECT_NE(refusal_.find(other), std::string::npos) << refusal_;
            EXPECT_NE(refusal_.find(identity_.fingerprint), std::string::npos) << refusal_;
            EXPECT_EQ(ReadWholeFile(known_), "127.0.0.1:5871 " + other + "\n") << "the remembered one stays";
        }
    }
}

TEST_F(TlsHandshake, AClientOfferingOnlyTlsBelow12IsRefused) {
    auto client = ClientContext();
    ASSERT_TRUE(client);
    // As an old client would: the library's own floor lowered, so that only the bot's side can refuse.
    SSL_CTX_set_security_level(client->native_handle(), 0);
    SSL_CTX_set_min_proto_version(client->native_handle(), TLS1_VERSION);
    SSL_CTX_set_max_proto_version(client->native_handle(), TLS1_1_VERSION);
    const Outcome outcome = Handshake(*serverContext_, *client);
    EXPECT_TRUE(outcome.server);
    EXPECT_TRUE(outcome.client);
    EXPECT_EQ(outcome.received, "");
}

TEST(TlsContext, AServerContextWithoutItsFilesIsAnError) {
    TempDir dir;
    TlsIdentity missing{dir.File("tls-certificate.pem"), dir.File("tls-key.pem"), "", false};
    std::string error;
    EXPECT_FALSE(MakeTlsServerContext(missing, error));
    EXPECT_NE(error.find(missing.certificateFile), std::string::npos) << error;
}

} // namespace
