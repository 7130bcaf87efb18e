#pragma once

// The few socket operations the SDK needs, on a non-blocking TCP socket, with TLS over it when asked. Internal to
// the SDK.

#include <chrono>
#include <cstddef>
#include <memory>
#include <openssl/types.h>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace asio::ssl {
class context;
}

struct SdkAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
};

class SdkSocket {
public:
    SdkSocket() = default;
    ~SdkSocket() { Close(); }
    SdkSocket(const SdkSocket &) = delete;
    SdkSocket &operator=(const SdkSocket &) = delete;

    // Resolves host and port; false when the name cannot be resolved.
    static bool Resolve(const std::string &host, int port, std::vector<SdkAddress> &out);

    // Starts a non-blocking connect. False when it failed at once.
    bool BeginConnect(const SdkAddress &address);
    // After BeginConnect: 1 connected (the TLS handshake done too, when TLS is on), 0 still in progress, -1 failed.
    // Waits up to `wait`.
    int FinishConnect(std::chrono::milliseconds wait);
    // The connections from the next BeginConnect on speak TLS with this context (null: plain TCP).
    void UseTls(std::shared_ptr<asio::ssl::context> context) { tls_ = std::move(context); }

    // Bytes written (possibly fewer than asked), 0 when the socket is full, -1 on a broken connection.
    long Write(const char *data, std::size_t size);
    // Bytes read, 0 when nothing is waiting, -1 on a closed or broken connection.
    long Read(char *data, std::size_t size);
    // Waits until readable (when asked) or writable (when asked) or the time is up. True when something is ready.
    bool Wait(bool read, bool write, std::chrono::milliseconds wait);

    bool IsOpen() const { return fd_ >= 0; }
    void Close();

private:
    int Handshake(std::chrono::milliseconds wait);

    int fd_ = -1;
    bool tcpUp_ = false;
    std::shared_ptr<asio::ssl::context> tls_;
    SSL *ssl_ = nullptr;
};
