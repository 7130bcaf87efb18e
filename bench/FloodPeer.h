#pragma once

// A one-connection peer on a loopback port for the benchmarks that feed the SDK: it answers the handshake and the
// login as a universe would, then writes whatever bytes it is handed, from its own thread, while the SDK reads.

#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

class FloodPeer {
public:
    FloodPeer() {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (::bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(listen_, 1) != 0 ||
            ::getsockname(listen_, reinterpret_cast<sockaddr *>(&a), &length) != 0) {
            std::fprintf(stderr, "the flood peer could not listen: %s\n", std::strerror(errno));
        }
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }

    ~FloodPeer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        if (const int c = client_; c >= 0) {
            ::shutdown(c, SHUT_RDWR);
        }
        ::shutdown(listen_, SHUT_RDWR);
        ::close(listen_);
        thread_.join();
    }

    FloodPeer(const FloodPeer &) = delete;
    FloodPeer &operator=(const FloodPeer &) = delete;

    int Port() const { return port_; }

    // Queues bytes (whole frames) to be written after those queued before. The string must live until written;
    // the benchmarks make their frames once and keep them.
    void Send(const std::string &bytes) {
        {
            std::lock_guard lock(mutex_);
            owed_.push_back(&bytes);
        }
        wake_.notify_all();
    }

    // Creates the SDK's instance against this peer and logs in; 0 or the SDK's code.
    int Connect() {
        if (const int r = SdkCreate("127.0.0.1", port_, 0)) {
            return r;
        }
        SdkSetInt(kAttrLoginCitizen, 1);
        SdkSetString(kAttrLoginPassword, "pw");
        SdkSetString(kAttrLoginName, "Bench");
        return SdkLogin();
    }

private:
    static bool ReadFrame(int s, std::string &frame) {
        frame.assign(4, '\0');
        if (!ReadAll(s, frame.data(), 4)) {
            return false;
        }
        std::uint32_t length = 0;
        std::memcpy(&length, frame.data(), 4);
        if (length > kMaxFrameSize) {
            return false;
        }
        frame.resize(4 + length);
        return ReadAll(s, frame.data() + 4, length);
    }

    static bool ReadAll(int s, char *data, std::size_t size) {
        for (std::size_t done = 0; done < size;) {
            const ssize_t n = ::recv(s, data + done, size - done, 0);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    static bool Write(int s, const std::string &bytes) {
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::send(s, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    static std::uint32_t IdOf(const std::string &frame) {
        return FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()).Header().id;
    }

    void Run() {
        const int s = ::accept(listen_, nullptr, nullptr);
        if (s < 0) {
            return;
        }
        client_ = s;
        std::string frame, out;
        if (ReadFrame(s, frame)) {
            FrameWriter(out, static_cast<std::uint16_t>(MessageType::HelloReply), IdOf(frame), 0).Finish();
            Write(s, out);
        }
        out.clear();
        if (ReadFrame(s, frame)) {
            FrameWriter(out, static_cast<std::uint16_t>(MessageType::Reply), IdOf(frame), 0)
                .Int(kFieldMySession, 42)
                .Finish();
            Write(s, out);
        }
        for (;;) {
            const std::string *next = nullptr;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return stop_ || !owed_.empty(); });
                if (stop_) {
                    break;
                }
                next = owed_.front();
                owed_.pop_front();
            }
            if (!Write(s, *next)) {
                break;
            }
        }
        client_ = -1;
        ::close(s);
    }

    int listen_ = -1;
    int port_ = 0;
    std::atomic<int> client_{-1};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<const std::string *> owed_;
    bool stop_ = false;
    std::thread thread_;
};
