#pragma once

// For the attach tests: a window that speaks the wire format itself, as a second window beside the test's own (the
// SDK holds one bot per process).

#include "protocol/Frame.h"
#include "protocol/MessageType.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

// A window reduced to its wire format: blocking calls with time limits.
class BareWindow {
public:
    explicit BareWindow(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~BareWindow() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    BareWindow(const BareWindow &) = delete;
    BareWindow &operator=(const BareWindow &) = delete;

    bool Send(MessageType type, std::uint32_t id, std::int32_t code,
              const std::function<void(FrameWriter &)> &fill = {}) {
        std::string frame;
        {
            FrameWriter w(frame, static_cast<std::uint16_t>(type), id, code);
            if (fill)
                fill(w);
            w.Finish();
        }
        return SendRaw(frame);
    }
    bool SendRaw(const std::string &bytes) {
        return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

    // The next frame that satisfies `wanted`, the others skipped; empty after the time or when the line closed.
    std::string Next(const std::function<bool(const FrameReader &)> &wanted,
                     std::chrono::milliseconds wait = std::chrono::seconds(10)) {
        const auto until = std::chrono::steady_clock::now() + wait;
        for (;;) {
            std::size_t size = 0;
            while (CutFrame(reinterpret_cast<const std::uint8_t *>(in_.data()), in_.size(), size) == CutResult::Frame) {
                std::string frame = in_.substr(0, size);
                in_.erase(0, size);
                if (wanted(FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size())))
                    return frame;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (fd_ < 0 || left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return {};
            char chunk[4096];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return {};
            in_.append(chunk, static_cast<std::size_t>(n));
        }
    }
    std::string Reply(std::uint32_t id) {
        return Next([id](const FrameReader &r) {
            return r.Header().type == static_cast<std::uint16_t>(MessageType::Reply) && r.Header().id == id;
        });
    }
    std::string Event(int event) {
        return Next([event](const FrameReader &r) {
            return r.Header().type == static_cast<std::uint16_t>(MessageType::Event) && r.Header().code == event;
        });
    }
    static int Code(const std::string &frame) {
        return frame.empty()
                   ? -1
                   : FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()).Header().code;
    }
    static std::string Text(const std::string &frame, std::uint16_t field) {
        std::string_view text;
        if (!frame.empty())
            FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()).FindString(field, text);
        return std::string(text);
    }

    // Hello, Login with the password, Enter the world: the reply codes of the last two (-1 none).
    std::pair<int, int> Attach(const std::string &password, const std::string &world) {
        Send(MessageType::Hello, 1, kProtocolVersion);
        if (Next([](const FrameReader &r) { return r.Header().type == 2; }).empty())
            return {-1, -1};
        Send(MessageType::Login, 2, 0, [&](FrameWriter &w) { w.String(3, password); });
        const int login = Code(Reply(2));
        if (login != 0)
            return {login, -1};
        Send(MessageType::Enter, 3, 0, [&](FrameWriter &w) { w.String(kFieldWorld, world); });
        return {login, Code(Reply(3))};
    }

private:
    int fd_ = -1;
    std::string in_;
};
