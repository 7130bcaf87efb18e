#include "sdk/SdkSocket.h"

#include <algorithm>
#include <asio/ssl/context.hpp>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <unistd.h>

bool SdkSocket::Resolve(const std::string &host, int port, std::vector<SdkAddress> &out) {
    out.clear();
    if (host.empty())
        return false;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const std::string service = std::to_string(port);
    if (getaddrinfo(host.c_str(), service.c_str(), &hints, &list) != 0 || !list)
        return false;
    for (addrinfo *a = list; a; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        SdkAddress address;
        std::memcpy(&address.address, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        out.push_back(address);
    }
    freeaddrinfo(list);
    return !out.empty();
}

bool SdkSocket::BeginConnect(const SdkAddress &address) {
    Close();
    fd_ = ::socket(address.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return false;
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (::connect(fd_, reinterpret_cast<const sockaddr *>(&address.address), address.length) == 0 ||
        errno == EINPROGRESS)
        return true;
    Close();
    return false;
}

int SdkSocket::FinishConnect(std::chrono::milliseconds wait) {
    if (fd_ < 0)
        return -1;
    if (tcpUp_)
        return Handshake(wait);
    pollfd p{fd_, POLLOUT, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, wait.count())));
    if (ready == 0)
        return 0;
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
        return -1;
    tcpUp_ = true;
    if (!tls_)
        return 1;
    ssl_ = SSL_new(tls_->native_handle());
    if (!ssl_ || SSL_set_fd(ssl_, fd_) != 1)
        return -1;
    // The output buffer moves and is written in parts, as with plain TCP.
    SSL_set_mode(ssl_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_set_connect_state(ssl_);
    return Handshake(wait);
}

int SdkSocket::Handshake(std::chrono::milliseconds wait) {
    if (!ssl_)
        return 1;
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
        ERR_clear_error();
        const int r = SSL_do_handshake(ssl_);
        if (r == 1)
            return 1;
        const int error = SSL_get_error(ssl_, r);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            return -1; // a refused certificate among others
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return 0;
        pollfd p{fd_, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) < 0 && errno != EINTR)
            return -1;
    }
}

long SdkSocket::Write(const char *data, std::size_t size) {
    if (fd_ < 0)
        return -1;
    if (ssl_) {
        if (size == 0)
            return 0;
        ERR_clear_error();
        const int n = SSL_write(ssl_, data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
        if (n > 0)
            return n;
        const int error = SSL_get_error(ssl_, n);
        return error == SSL_ERROR_WANT_WRITE || error == SSL_ERROR_WANT_READ ? 0 : -1;
    }
    for (;;) {
        // MSG_NOSIGNAL: a peer that went away must not kill the program with SIGPIPE.
        const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
        if (n >= 0)
            return static_cast<long>(n);
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

long SdkSocket::Read(char *data, std::size_t size) {
    if (fd_ < 0)
        return -1;
    if (ssl_) {
        ERR_clear_error();
        const int n = SSL_read(ssl_, data, static_cast<int>(std::min<std::size_t>(size, 1 << 30)));
        if (n > 0)
            return n;
        const int error = SSL_get_error(ssl_, n);
        return error == SSL_ERROR_WANT_READ || error == SSL_ERROR_WANT_WRITE ? 0 : -1;
    }
    for (;;) {
        const ssize_t n = ::recv(fd_, data, size, 0);
        if (n > 0)
            return static_cast<long>(n);
        if (n == 0)
            return -1;
        if (errno == EINTR)
            continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

bool SdkSocket::Wait(bool read, bool write, std::chrono::milliseconds wait) {
    if (fd_ < 0)
        return false;
    // Bytes TLS has already taken off the socket wait in its buffer, where poll does not see them.
    if (read && ssl_ && SSL_pending(ssl_) > 0)
        return true;
    pollfd p{fd_, static_cast<short>((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, wait.count())));
    return ready > 0;
}

void SdkSocket::Close() {
    if (ssl_)
        SSL_free(ssl_);
    ssl_ = nullptr;
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    tcpUp_ = false;
}
