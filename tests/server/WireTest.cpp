// The server seen from a raw socket: the handshake, broken frames, limits and time-outs. Whatever one connection
// sends, the server closes that one and keeps serving the others.

#include "TempDir.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "server/UniverseServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

std::string Le16(std::uint16_t v) { return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8)}; }
std::string Le32(std::uint32_t v) {
    return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff), static_cast<char>((v >> 16) & 0xff),
            static_cast<char>(v >> 24)};
}

// A client that speaks frames by hand.
class RawClient {
public:
    explicit RawClient(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool Connected() const { return connected_; }
    int Descriptor() const { return fd_; }
    void Send(const std::string &bytes) { ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    // The next frame, or false on close or after the time given.
    bool Receive(FrameHeader &header, std::string &frame, std::chrono::milliseconds wait = 2s) {
        const auto end = std::chrono::steady_clock::now() + wait;
        for (;;) {
            std::size_t size = 0;
            if (buffer_.size() >= 4 && CutFrame(reinterpret_cast<const std::uint8_t *>(buffer_.data()), buffer_.size(),
                                                size) == CutResult::Frame) {
                frame = buffer_.substr(0, size);
                buffer_.erase(0, size);
                header = FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), size).Header();
                return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return false;
            char chunk[65536];
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    // Reads until the server closes; returns the code of the Close frame seen on the way (-1 for none).
    int CloseCode(std::chrono::milliseconds wait = 2s) {
        int code = -1;
        FrameHeader h;
        std::string frame;
        while (Receive(h, frame, wait))
            if (h.type == static_cast<std::uint16_t>(MessageType::Close))
                code = h.code;
        return code;
    }

    bool Closed(std::chrono::milliseconds wait = 2s) {
        const auto end = std::chrono::steady_clock::now() + wait;
        while (std::chrono::steady_clock::now() < end) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                char c[4096];
                if (::recv(fd_, c, sizeof c, 0) <= 0)
                    return true;
            }
        }
        return false;
    }

    // Handshake; the code of the HelloReply.
    int Hello(std::int32_t version = kProtocolVersion) {
        std::string out;
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Hello), 1, version).Int(kFieldNumber, 63).Finish();
        Send(out);
        FrameHeader h;
        std::string frame;
        if (!Receive(h, frame) || h.type != static_cast<std::uint16_t>(MessageType::HelloReply))
            return -1;
        return h.code;
    }

    // A request with no attributes; the code of its reply, or -1.
    int Request(MessageType type, std::uint32_t id = 7) {
        std::string out;
        FrameWriter(out, static_cast<std::uint16_t>(type), id, 0).Finish();
        Send(out);
        FrameHeader h;
        std::string frame;
        while (Receive(h, frame))
            if (h.type == static_cast<std::uint16_t>(MessageType::Reply) && h.id == id)
                return h.code;
        return -1;
    }

    int Login(int citizen, const std::string &password) {
        std::string out;
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Login), 3, 0)
            .Int(kAttrLoginCitizen, citizen)
            .String(kAttrLoginPassword, password)
            .String(kAttrLoginName, "Raw")
            .Finish();
        Send(out);
        FrameHeader h;
        std::string frame;
        while (Receive(h, frame))
            if (h.type == static_cast<std::uint16_t>(MessageType::Reply) && h.id == 3)
                return h.code;
        return -1;
    }

    void SmallReceiveBuffer() {
        const int size = 4096;
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    std::string buffer_;
};

class WireTest : public ::testing::Test {
protected:
    void Start(ServerOptions options = {}) {
        options.port = 0;
        options.dataFolder = data_.Path();
        options.passwordIterations = 1;
        server_ = std::make_unique<UniverseServer>(options);
        ASSERT_TRUE(server_->Start()) << server_->LastError();
        ASSERT_TRUE(server_->AddCitizen(1, "Founder", "pw"));
        ASSERT_TRUE(server_->AddWorld("Town", 63));
    }
    void TearDown() override {
        if (server_)
            server_->Stop();
    }

    // Someone who stays connected the whole time and must keep being served.
    void ExpectStillServed(RawClient &bystander, const char *after) {
        EXPECT_EQ(bystander.Request(MessageType::WorldList, 99), 31) << "after " << after;
    }

    TempDir data_;
    std::unique_ptr<UniverseServer> server_;
};

std::string Frame(std::uint16_t type, std::uint16_t count, const std::string &body) {
    std::string rest = Le16(type) + Le32(5) + Le32(0) + Le16(count) + body;
    return Le32(static_cast<std::uint32_t>(rest.size())) + rest;
}

TEST_F(WireTest, BrokenFramesCloseOnlyTheirConnection) {
    Start();
    RawClient bystander(server_->Port());
    ASSERT_EQ(bystander.Hello(), 0);
    const std::uint16_t login = static_cast<std::uint16_t>(MessageType::Login);
    struct Case {
        const char *name;
        bool hello; // whether the handshake comes first
        std::string bytes;
    };
    const Case cases[] = {
        {"length beyond the frame limit", true, Le32(0x7fffffff) + std::string(32, 'x')},
        {"length below the header", true, Le32(3) + "abc"},
        {"text instead of frames", false, "GET / HTTP/1.1\r\nHost: x\r\n\r\n"},
        {"attribute count above the limit", true, Frame(login, 0xffff, "")},
        {"count larger than the attributes", true, Frame(login, 3, Le16(0) + "\x01" + Le32(1))},
        {"string past the end", true, Frame(login, 1, Le16(0) + "\x03" + Le16(500) + "Bob")},
        {"unknown tag", true, Frame(login, 1, Le16(0) + "\x07" + Le32(1))},
        {"boolean of 2", true, Frame(login, 1, Le16(328) + "\x02\x02")},
        {"invalid UTF-8", true, Frame(login, 1, Le16(0) + "\x03" + Le16(2) + "\xc3\x28")},
        {"a request before the handshake", false, Frame(login, 0, "")},
        {"an unknown message type", true, Frame(4000, 0, "")},
        {"a reply sent to the server", true, Frame(static_cast<std::uint16_t>(MessageType::Reply), 0, "")},
    };
    for (const Case &c : cases) {
        RawClient bad(server_->Port());
        ASSERT_TRUE(bad.Connected()) << c.name;
        if (c.hello) {
            ASSERT_EQ(bad.Hello(), 0) << c.name;
        }
        bad.Send(c.bytes);
        EXPECT_EQ(bad.CloseCode(), 463) << c.name;
        ExpectStillServed(bystander, c.name);
    }
    RawClient after(server_->Port());
    EXPECT_EQ(after.Hello(), 0) << "new connections are still accepted";
}

TEST_F(WireTest, AnOldPeerGetsVersionMismatch) {
    Start();
    RawClient old(server_->Port());
    EXPECT_EQ(old.Hello(0), 454);
    EXPECT_TRUE(old.Closed());
}

TEST_F(WireTest, RequestsBeforeLoginAnswerNotLoggedIn) {
    Start();
    RawClient c(server_->Port());
    ASSERT_EQ(c.Hello(), 0);
    const MessageType types[] = {MessageType::Enter, MessageType::Say, MessageType::WorldList,
                                 MessageType::WorldAttributesChange, MessageType::UniverseEjectionNext};
    for (const MessageType t : types)
        EXPECT_EQ(c.Request(t), 31) << static_cast<int>(t);
    EXPECT_EQ(c.Login(1, "wrong"), 43);
    EXPECT_EQ(c.Login(1, "pw"), 0);
    EXPECT_EQ(c.Request(MessageType::Say), 405) << "logged in, but in no world";
}

TEST_F(WireTest, ConnectionsAboveTheLimitAreClosed) {
    ServerOptions o;
    o.maxConnections = 2;
    Start(o);
    RawClient a(server_->Port()), b(server_->Port());
    ASSERT_EQ(a.Hello(), 0);
    ASSERT_EQ(b.Hello(), 0);
    RawClient c(server_->Port());
    EXPECT_TRUE(c.Closed());
    EXPECT_EQ(a.Request(MessageType::WorldList), 31);
}

// The sockets this process holds, by descriptor.
std::set<int> SocketDescriptors() {
    std::set<int> sockets;
    for (const auto &entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(entry.path(), ec).string().rfind("socket:", 0) == 0 && !ec)
            sockets.insert(std::stoi(entry.path().filename().string()));
    }
    return sockets;
}

// A browser started from a program that runs the server inside it would otherwise keep the port and the
// connections open after the program has ended.
TEST_F(WireTest, ChildProcessesInheritNoneOfItsSockets) {
    const std::set<int> before = SocketDescriptors();
    Start();
    RawClient client(server_->Port());
    ASSERT_EQ(client.Hello(), 0) << "the connection is accepted";
    const std::set<int> after = SocketDescriptors();
    int checked = 0;
    for (const int fd : after) {
        if (before.count(fd) || fd == client.Descriptor())
            continue;
        ++checked;
        EXPECT_TRUE(::fcntl(fd, F_GETFD) & FD_CLOEXEC) << "socket descriptor " << fd;
    }
    EXPECT_GE(checked, 2) << "the listening socket and the accepted connection";
}

TEST_F(WireTest, SilentConnectionsAreClosed) {
    ServerOptions o;
    o.idleTimeout = 150ms;
    o.helloTimeout = 150ms;
    Start(o);
    RawClient quiet(server_->Port());
    ASSERT_EQ(quiet.Hello(), 0);
    RawClient mute(server_->Port()); // never says hello
    EXPECT_EQ(quiet.CloseCode(), 402);
    EXPECT_TRUE(mute.Closed());
    EXPECT_EQ(server_->ConnectionCount(), 0);
}

// Frames up to the largest allowed are read whole however they are cut up on the way, and small ones after them.
TEST_F(WireTest, TheLargestFrameIsReadInPiecesAndSmallOnesAfterIt) {
    Start();
    RawClient c(server_->Port());
    ASSERT_EQ(c.Hello(), 0);
    std::string big;
    {
        FrameWriter w(big, static_cast<std::uint16_t>(MessageType::Login), 3, 0);
        w.Int(kAttrLoginCitizen, 1).String(kAttrLoginPassword, "pw").String(kAttrLoginName, "Raw");
        // Unknown attributes the server passes over, up to a few bytes short of the limit.
        for (std::uint16_t n = 9000; big.size() + 4000 + 5 <= kMaxFrameSize; ++n)
            w.String(n, std::string(4000, 'x'));
        ASSERT_TRUE(w.Finish());
    }
    ASSERT_GT(big.size(), kMaxFrameSize - 4100);
    for (std::size_t at = 0; at < big.size(); at += 3000) {
        c.Send(big.substr(at, 3000));
        std::this_thread::sleep_for(2ms);
    }
    FrameHeader h;
    std::string frame;
    bool answered = false;
    while (!answered && c.Receive(h, frame))
        answered = h.type == static_cast<std::uint16_t>(MessageType::Reply) && h.id == 3;
    ASSERT_TRUE(answered);
    EXPECT_EQ(h.code, 0);
    EXPECT_EQ(c.Request(MessageType::WorldList, 99), 0) << "a small request after it";
}

TEST_F(WireTest, ASlowReaderIsDisconnectedInsteadOfBuffered) {
    ServerOptions o;
    o.maxOutputBytes = 64 * 1024;
    Start(o);
    ASSERT_TRUE(server_->SetWorld("Town", "max_users", "0"));
    RawClient slow(server_->Port());
    slow.SmallReceiveBuffer();
    ASSERT_EQ(slow.Hello(), 0);
    ASSERT_EQ(slow.Login(1, "pw"), 0);
    std::string enter;
    FrameWriter(enter, static_cast<std::uint16_t>(MessageType::Enter), 4, 0).String(kFieldWorld, "Town").Finish();
    slow.Send(enter);
    std::this_thread::sleep_for(50ms);
    const int talker = server_->AddPerson("Town", PersonSpec{"Talker", 5, 5});
    ASSERT_GT(talker, 0);
    const std::string line(200, 'x');
    // The reader never reads; sooner or later its backlog passes the limit and it is let go.
    for (int i = 0; i < 200000 && server_->ConnectionCount() > 0; ++i)
        server_->Say(talker, line);
    EXPECT_EQ(server_->ConnectionCount(), 0);
    RawClient fresh(server_->Port());
    EXPECT_EQ(fresh.Hello(), 0);
}

} // namespace

namespace {

TEST(DataFolder, ASecondServerOnOneFolderIsRefusedUntilTheFirstStops) {
    TempDir dir;
    ServerOptions options;
    options.port = 0;
    options.dataFolder = dir.Path();
    options.demo = true;
    options.demoPeople = false;
    options.passwordIterations = 1;
    UniverseServer first(options);
    ASSERT_TRUE(first.Start()) << first.LastError();
    UniverseServer second(options);
    EXPECT_FALSE(second.Start()) << "two servers would write one universe.db";
    EXPECT_NE(second.LastError().find(dir.Path()), std::string::npos) << second.LastError();
    EXPECT_NE(second.LastError().find("process " + std::to_string(::getpid())), std::string::npos)
        << second.LastError();
    EXPECT_NE(second.LastError().find("--data"), std::string::npos) << second.LastError();
    first.Stop();
    EXPECT_TRUE(second.Start()) << second.LastError();
    second.Stop();
}

// The folder holds the citizens' password hashes.
TEST(DataFolder, AFolderTheServerCreatesIsPrivateToItsUser) {
    TempDir dir;
    ServerOptions options;
    options.port = 0;
    options.dataFolder = dir.Path() + "/new/universe";
    options.passwordIterations = 1;
    UniverseServer server(options);
    ASSERT_TRUE(server.Start()) << server.LastError();
    server.Stop();
    struct stat info {};
    ASSERT_EQ(::stat(options.dataFolder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

} // namespace
