// A chat line's way to its listeners costs the same whatever their number: counted with this program's own
// allocator while a real server on a loopback port serves raw sockets that speak frames by hand.

#include "TempDir.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/UniverseServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <new>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
std::atomic<long> g_allocations{0};
} // namespace

void *operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }

// Asio takes the memory of its operations this way.
extern "C" void *aligned_alloc(std::size_t alignment, std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    void *p = nullptr;
    return ::posix_memalign(&p, std::max(alignment, sizeof(void *)), size) == 0 ? p : nullptr;
}

namespace {

// A blocking socket that reads into a fixed buffer, so that the test itself allocates nothing while it counts.
class Peer {
public:
    explicit Peer(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    }
    ~Peer() { ::close(fd_); }
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;

    bool Connected() const { return connected_; }
    void Send(const std::string &bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
    // Reads exactly `count` bytes; false on close or after two seconds of silence.
    bool Drain(std::size_t count) {
        while (count > 0) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return false;
            const ssize_t n = ::recv(fd_, buffer_, std::min(count, sizeof buffer_), 0);
            if (n <= 0)
                return false;
            count -= static_cast<std::size_t>(n);
        }
        return true;
    }
    // Everything that arrives within the time given, for the set-up's replies and events.
    void Skip(int milliseconds) {
        pollfd p{fd_, POLLIN, 0};
        while (::poll(&p, 1, milliseconds) > 0 && ::recv(fd_, buffer_, sizeof buffer_, 0) > 0) {
        }
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    char buffer_[16384];
};

std::string Request(MessageType type, const std::function<void(FrameWriter &)> &fill) {
    std::string out;
    FrameWriter w(out, static_cast<std::uint16_t>(type), 9, 0);
    fill(w);
    w.Finish();
    return out;
}

class FanOutTest : public ::testing::Test {
protected:
    void SetUp() override {
        ServerOptions o;
        o.port = 0;
        o.dataFolder = data_.Path();
        o.passwordIterations = 1;
        o.maxConnections = 200;
        server_ = std::make_unique<UniverseServer>(o);
        ASSERT_TRUE(server_->Start()) << server_->LastError();
        ASSERT_TRUE(server_->AddCitizen(1, "Founder", "pw"));
        ASSERT_TRUE(server_->AddWorld("Town", 63));
        ASSERT_TRUE(server_->SetWorld("Town", "max_users", "0"));
    }
    void TearDown() override { server_->Stop(); }

    std::unique_ptr<Peer> Join() {
        auto p = std::make_unique<Peer>(server_->Port());
        EXPECT_TRUE(p->Connected());
        std::string in;
        FrameWriter(in, static_cast<std::uint16_t>(MessageType::Hello), 1, kProtocolVersion)
            .Int(kFieldNumber, 63)
            .Finish();
        in += Request(MessageType::Login, [](FrameWriter &w) {
            w.Int(kAttrLoginCitizen, 1).String(kAttrLoginPassword, "pw").String(kAttrLoginName, "L");
        });
        in += Request(MessageType::Enter, [](FrameWriter &w) { w.String(kFieldWorld, "Town"); });
        p->Send(in);
        return p;
    }

    // Allocations, on both sides, per line said to `listeners` others, after lines enough to warm every buffer.
    double AllocationsPerLine(int listeners) {
        auto speaker = Join();
        std::vector<std::unique_ptr<Peer>> heard;
        for (int i = 0; i < listeners; ++i)
            heard.push_back(Join());
        speaker->Skip(100);
        for (auto &p : heard)
            p->Skip(20);
        const std::string say = Request(MessageType::Say, [](FrameWriter &w) { w.String(kFieldText, "hello all"); });
        std::string reply, line;
        FrameWriter(reply, static_cast<std::uint16_t>(MessageType::Reply), 9, 0).Finish();
        FrameWriter(line, static_cast<std::uint16_t>(MessageType::Event), 0, kEventChat)
            .Int(kAttrChatSession, 1)
            .String(kAttrAvatarName, "[L]")
            .String(kAttrChatMessage, "hello all")
            .Int(kAttrChatType, 0)
            .Finish();
        const auto sayLines = [&](int count) {
            for (int i = 0; i < count; ++i) {
                speaker->Send(say);
                EXPECT_TRUE(speaker->Drain(reply.size()));
                for (auto &p : heard)
                    EXPECT_TRUE(p->Drain(line.size()));
            }
        };
        sayLines(20);
        const long before = g_allocations.load();
        constexpr int kLines = 50;
        sayLines(kLines);
        return static_cast<double>(g_allocations.load() - before) / kLines;
    }

    TempDir data_;
    std::unique_ptr<UniverseServer> server_;
};

TEST_F(FanOutTest, ALineCostsNoAllocationPerListener) {
    const double few = AllocationsPerLine(2);
    const double many = AllocationsPerLine(60);
    // A stray timer may allocate once in a while; a cost per listener would show as dozens per line.
    EXPECT_LE(many, few + 1.0) << "with 2 listeners " << few << " per line, with 60 " << many;
}

} // namespace
