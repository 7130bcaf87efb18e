#pragma once

// For the attach tests: a headless bot in a process of its own (attach_test_bot) serving windows on a loopback
// port, and a bare window that speaks the wire format itself, as a second window beside the test's own.

#include "TempDir.h"
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

class AttachedBot {
public:
    // Starts the bot on the universe's port; Port() is 0 and Error() says why when it did not come up.
    AttachedBot(int universePort, const std::string &world, const std::string &password,
                const std::string &listenHost = "127.0.0.1") {
        const std::string passwordFile = folder_.File("password");
        std::ofstream(passwordFile) << password << "\n";
        int in[2], out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        ::posix_spawn_file_actions_addclose(&actions, in[1]);
        ::posix_spawn_file_actions_addclose(&actions, out[0]);
        const std::string port = std::to_string(universePort);
        const char *arguments[] = {ATTACH_TEST_BOT,      port.c_str(),       world.c_str(),
                                   passwordFile.c_str(), listenHost.c_str(), nullptr};
        const int spawned =
            ::posix_spawn(&pid_, ATTACH_TEST_BOT, &actions, nullptr, const_cast<char *const *>(arguments), environ);
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
        if (spawned != 0) {
            pid_ = 0;
            return;
        }
        const std::string first = ReadLine(std::chrono::seconds(20));
        if (first.rfind("port ", 0) == 0)
            port_ = std::stoi(first.substr(5));
        else
            error_ = first;
    }
    ~AttachedBot() {
        if (input_ >= 0)
            ::close(input_); // the bot ends when its input closes
        if (pid_ > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
        }
        if (output_ >= 0)
            ::close(output_);
    }
    AttachedBot(const AttachedBot &) = delete;
    AttachedBot &operator=(const AttachedBot &) = delete;

    int Port() const { return port_; }
    const std::string &Error() const { return error_; }

    // The next line the bot printed ("own: ..." for what a window made it say), empty after the time.
    std::string ReadLine(std::chrono::milliseconds wait) {
        const auto until = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            pollfd p{output_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return {};
            char chunk[512];
            const ssize_t n = ::read(output_, chunk, sizeof chunk);
            if (n <= 0)
                return {};
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

private:
    TempDir folder_;
    pid_t pid_ = 0;
    int input_ = -1, output_ = -1;
    int port_ = 0;
    std::string error_;
    std::string buffer_;
};

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
