#pragma once

#include <atomic>
#include <chrono>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// A one-connection SMTP server on loopback that answers from a script, for the replies a real server never gives.
// The first reply is the greeting; each later one answers the next command (after a 354 reply, the whole data up
// to the final "."). A reply is sent in the given pieces with a pause between them; a reply with no pieces is
// silence. Once the script is used up the server only listens.
class ScriptedSmtpServer {
public:
    using Reply = std::vector<std::string>;
    // As a piece: from here on the server reads nothing more, so the client's sending stalls.
    static constexpr const char *kStopReading = "\x01stop reading";

    explicit ScriptedSmtpServer(std::vector<Reply> script) : script_(std::move(script)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        // A small fixed buffer, inherited by the accepted socket, so a stalled reader stops a sender soon.
        const int bufferSize = 16 * 1024;
        ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof bufferSize);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
            return;
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~ScriptedSmtpServer() {
        Stop();
        if (listener_ >= 0) {
            ::close(listener_);
        }
    }

    int Port() const { return port_; }

    // Everything the client sent, one entry per command or data block; call once the client has closed.
    std::vector<std::string> Received() {
        Stop();
        return received_;
    }

private:
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    // Waits for data; once stopped, only for what is already on its way.
    bool Readable(int fd) {
        while (true) {
            pollfd entry{fd, POLLIN, 0};
            const bool stopping = stop_;
            if (::poll(&entry, 1, stopping ? 200 : 50) > 0) {
                return true;
            }
            if (stopping) {
                return false;
            }
        }
    }

    void Run() {
        int client = -1;
        while (client < 0 && !stop_) {
            pollfd entry{listener_, POLLIN, 0};
            if (::poll(&entry, 1, 50) > 0) {
                client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            }
        }
        if (client < 0) {
            return;
        }
        std::string pending;
        bool inData = false;
        for (std::size_t step = 0;; ++step) {
            if (step > 0) {
                // Read one command, or the data block that follows a 354.
                const std::string end = inData ? "\r\n.\r\n" : "\r\n";
                std::size_t found;
                while ((found = pending.find(end)) == std::string::npos) {
                    char buffer[4096];
                    const ssize_t got = Readable(client) ? ::recv(client, buffer, sizeof buffer, 0) : 0;
                    if (got <= 0) {
                        if (!pending.empty()) {
                            received_.push_back(pending);
                        }
                        ::close(client);
                        return;
                    }
                    pending.append(buffer, static_cast<std::size_t>(got));
                }
                const std::size_t length = found + end.size();
                received_.push_back(pending.substr(0, length));
                pending.erase(0, length);
                inData = false;
            }
            if (step < script_.size()) {
                std::string whole;
                for (const std::string &piece : script_[step]) {
                    if (piece == kStopReading) {
                        while (!stop_) {
                            std::this_thread::sleep_for(std::chrono::milliseconds(20));
                        }
                        ::close(client);
                        return;
                    }
                    if (!whole.empty()) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    }
                    ::send(client, piece.data(), piece.size(), MSG_NOSIGNAL);
                    whole += piece;
                }
                inData = whole.rfind("354", 0) == 0;
            }
        }
    }

    std::vector<Reply> script_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<std::string> received_;
};
