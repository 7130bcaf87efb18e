#pragma once

// Plain-socket helpers for tests that play a misbehaving server towards the SDK: listening, reading and writing
// whole frames with time limits, and the server's side of the handshake and the login.

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

namespace peer {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A listening socket on 127.0.0.1; port 0 picks a free one. SO_REUSEADDR lets it take over the port of a server
// that was just killed.
inline int Listen(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline int PortOf(int fd) {
    sockaddr_in a{};
    socklen_t length = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length);
    return ntohs(a.sin_port);
}

// Waits for a connection; -1 after the time given.
inline int Accept(int listener, milliseconds wait) {
    pollfd p{listener, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return -1;
    return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

inline bool ReadExact(int fd, char *data, std::size_t size, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < size) {
        const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0)
            return false;
        const ssize_t n = ::recv(fd, data + done, size - done, 0);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// One whole frame; false when the line closed, the bytes are no frame, or nothing came in time.
inline bool ReadFrame(int fd, std::string &frame, milliseconds wait) {
    const Clock::time_point deadline = Clock::now() + wait;
    frame.assign(4, '\0');
    if (!ReadExact(fd, frame.data(), 4, deadline))
        return false;
    std::uint32_t length = 0;
    std::memcpy(&length, frame.data(), 4);
    if (length < kFrameHeaderSize - 4 || length > kMaxFrameSize - 4)
        return false;
    frame.resize(4 + length);
    return ReadExact(fd, frame.data() + 4, length, deadline) &&
           IsValidFrame(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
}

inline bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

inline FrameReader Reader(const std::string &frame) {
    return FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size());
}

inline MessageType TypeOf(const std::string &frame) { return static_cast<MessageType>(Reader(frame).Header().type); }

inline std::string Frame(MessageType type, std::uint32_t id, std::int32_t code,
                         const std::function<void(FrameWriter &)> &fill = {}) {
    std::string out;
    FrameWriter w(out, static_cast<std::uint16_t>(type), id, code);
    if (fill)
        fill(w);
    w.Finish();
    return out;
}

// A public chat line as the server sends it.
inline std::string ChatEvent(int session, std::string_view text) {
    return Frame(MessageType::Event, 0, kEventChat, [&](FrameWriter &w) {
        w.Int(kAttrChatSession, session).String(kAttrAvatarName, "Peer").String(kAttrChatMessage, text);
        w.Int(kAttrChatType, 0);
    });
}

// The server's side of the handshake and the login (and of an entry into the world asked for, when asked). `heartbeat`
// says whether the HelloReply offers to answer pings, as a server of this version does when the client asks. False when
// the client sent something else or nothing in time; `hello` receives the client's Hello.
inline bool Greet(int fd, bool heartbeat, bool enter, std::string *hello = nullptr) {
    std::string frame;
    if (!ReadFrame(fd, frame, milliseconds(3000)) || TypeOf(frame) != MessageType::Hello)
        return false;
    if (hello)
        *hello = frame;
    if (!WriteAll(fd, Frame(MessageType::HelloReply, Reader(frame).Header().id, 0, [&](FrameWriter &w) {
                      if (heartbeat)
                          w.Int(kFieldHeartbeat, 1);
                  })))
        return false;
    if (!ReadFrame(fd, frame, milliseconds(3000)) || TypeOf(frame) != MessageType::Login)
        return false;
    if (!WriteAll(fd, Frame(MessageType::Reply, Reader(frame).Header().id, 0,
                            [](FrameWriter &w) { w.Int(kFieldMySession, 42); })))
        return false;
    if (!enter)
        return true;
    if (!ReadFrame(fd, frame, milliseconds(3000)) || TypeOf(frame) != MessageType::Enter)
        return false;
    std::string_view world;
    Reader(frame).FindString(kFieldWorld, world);
    return WriteAll(fd, Frame(MessageType::Reply, Reader(frame).Header().id, 0,
                              [&](FrameWriter &w) { w.String(kAttrWorldName, world); }));
}

} // namespace peer
