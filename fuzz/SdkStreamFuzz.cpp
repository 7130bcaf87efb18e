// What a hostile or confused server can make of the SDK: the input is a stream of bytes the server sends after
// the handshake and the login, while seven requests wait for their callbacks (ids 3 to 9: enter, world list,
// citizen, address, world ejection, universe ejection, object). Every event and callback is delivered to a
// recording handler together with a digest of the whole attribute store.
//
// The stream is sent twice, to a fresh SDK each time: once whole and once in small pieces with a pump between
// them. Both runs must deliver the same things in the same order, since frames split at any boundary must decode
// as when whole. The server's side then closes, and the SDK must notice that and let go of the connection.
//
// Input: two bytes seeding the piece sizes, then the stream.

#include "fuzz/FuzzBytes.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "protocol/Frame.h"
#include "protocol/MessageType.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kBotSession = 42;

struct Delivery {
    bool callback = false;
    int number = 0;
    int result = 0;
    std::uint64_t digest = 0;
    bool operator==(const Delivery &) const = default;
};

std::vector<Delivery> g_heard;

std::uint64_t Mix(std::uint64_t hash, std::string_view bytes) {
    for (const char c : bytes) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    }
    return (hash ^ 0xff) * 1099511628211ull; // ends the field, so "ab" + "c" differs from "a" + "bc"
}

// The whole attribute store as handlers see it.
std::uint64_t StoreDigest() {
    std::uint64_t hash = 14695981039346656037ull;
    for (int n = 0; n < kAttributeCount; ++n) {
        switch (KindOfAttribute(n)) {
        case AttributeKind::Int:
            hash = Mix(hash, std::to_string(SdkGetInt(n)));
            break;
        case AttributeKind::Bool:
            hash = Mix(hash, SdkGetBool(n) ? "1" : "0");
            break;
        case AttributeKind::String:
            hash = Mix(hash, SdkGetString(n));
            break;
        case AttributeKind::None:
            break;
        }
    }
    return hash;
}

void Record(bool callback, int number, int result) { g_heard.push_back({callback, number, result, StoreDigest()}); }

bool ReadExactly(int s, char *data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        pollfd p{s, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) {
            return false;
        }
        const ssize_t n = ::recv(s, data + done, size - done, 0);
        if (n <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadFrame(int s, std::string &frame) {
    frame.assign(4, '\0');
    if (!ReadExactly(s, frame.data(), 4)) {
        return false;
    }
    std::uint32_t length = 0;
    std::memcpy(&length, frame.data(), 4);
    if (length > kMaxFrameSize) {
        return false;
    }
    frame.resize(4 + length);
    return ReadExactly(s, frame.data() + 4, length);
}

bool WriteAll(int s, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            return false; // the SDK has closed: the rest is never read, in either run
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::uint32_t IdOf(const std::string &frame) {
    return FrameReader(reinterpret_cast<const std::uint8_t *>(frame.data()), frame.size()).Header().id;
}

// The server's end: answers the handshake and the login on its own thread, since the SDK blocks for both.
class FakeServer {
public:
    FakeServer() {
        listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof a;
        if (listen_ < 0 || ::bind(listen_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
            ::listen(listen_, 8) != 0 || ::getsockname(listen_, reinterpret_cast<sockaddr *>(&a), &length) != 0) {
            FuzzCheckFailed("cannot listen on a loopback port", __FILE__, __LINE__);
        }
        port_ = ntohs(a.sin_port);
    }

    int Port() const { return port_; }

    // Accepts one connection and greets it; the connected socket, or -1.
    int AcceptAndGreet() const {
        pollfd p{listen_, POLLIN, 0};
        if (::poll(&p, 1, 5000) <= 0) {
            return -1;
        }
        const int s = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (s < 0) {
            return -1;
        }
        const int one = 1;
        ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::string frame, out;
        if (!ReadFrame(s, frame)) {
            ::close(s);
            return -1;
        }
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::HelloReply), IdOf(frame), 0).Finish();
        if (!WriteAll(s, out) || !ReadFrame(s, frame)) {
            ::close(s);
            return -1;
        }
        out.clear();
        FrameWriter(out, static_cast<std::uint16_t>(MessageType::Reply), IdOf(frame), 0)
            .Int(kFieldMySession, kBotSession)
            .Finish();
        if (!WriteAll(s, out)) {
            ::close(s);
            return -1;
        }
        return s;
    }

private:
    int listen_ = -1;
    int port_ = 0;
};

const FakeServer &Server() {
    static const FakeServer server;
    return server;
}

// Reads what the SDK sent, without waiting long; false once the SDK has closed its end.
bool DrainOpen(int s, int waitMs) {
    pollfd p{s, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) {
        return true;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(s, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            continue;
        }
        if (n == 0) {
            return false;
        }
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
}

void Connect(int &peer) {
    FUZZ_CHECK(SdkInit(kSdkBuild) == 0, "SdkInit");
    for (int e = 0; e < kEventCount; ++e) {
        SdkSetEventHandler(e, [e] { Record(false, e, 0); });
    }
    for (int c = 0; c < kCallbackCount; ++c) {
        SdkSetCallbackHandler(c, [c](int result) { Record(true, c, result); });
    }
    std::thread greeter([&peer] { peer = Server().AcceptAndGreet(); });
    const int created = SdkCreate("127.0.0.1", Server().Port(), 0);
    int login = -1;
    if (created == 0) {
        SdkSetString(kAttrLoginName, "Fuzz");
        SdkSetInt(kAttrLoginCitizen, 1);
        SdkSetString(kAttrLoginPassword, "pw");
        SdkSetString(kAttrApplication, "Gabbler fuzz");
        login = SdkLogin();
    }
    greeter.join();
    FUZZ_CHECK(created == 0 && login == 0 && peer >= 0, "the SDK connects to the fake server and logs in");

    // Requests that wait for callbacks, so that replies from the stream have something to answer.
    const bool sent = SdkEnter("Town") == 0 && SdkWorldList() == 0 && SdkCitizenByNumber(7) == 0 &&
                      SdkAddressRequest(5) == 0 && SdkWorldEjectionLookup() == 0 && SdkUniverseEjectionAdd() == 0 &&
                      SdkObjectAdd() == 0;
    FUZZ_CHECK(sent, "the waiting requests are sent");
}

std::vector<Delivery> Run(std::string_view stream, bool inPieces, std::uint32_t seed) {
    g_heard.clear();
    int peer = -1;
    Connect(peer);

    PieceSizes sizes(seed);
    bool open = true;
    int pieces = 0;
    while (!stream.empty() && open) {
        std::size_t n = stream.size();
        if (inPieces && pieces < 256) {
            n = std::min(n, sizes.Next());
            ++pieces;
        }
        open = WriteAll(peer, stream.substr(0, n));
        stream.remove_prefix(n);
        if (inPieces) {
            SdkWait(0);
            open = open && DrainOpen(peer, 0);
        }
    }
    // The server goes away. Whatever the stream did, the SDK must read to the end and then close its side.
    ::shutdown(peer, SHUT_WR);
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (DrainOpen(peer, 1)) {
        SdkWait(0);
        FUZZ_CHECK(Clock::now() < deadline, "the SDK lets go of a connection the server closed");
    }
    // Everything is queued now; deliver it all.
    for (std::size_t before = g_heard.size() + 1; before != g_heard.size();) {
        before = g_heard.size();
        SdkWait(0);
    }
    SdkTerm();
    ::close(peer);
    return std::move(g_heard);
}

} // namespace

int FuzzSdkStream(const std::uint8_t *data, std::size_t size) {
    static const bool tuned = [] {
        SdkTuning tuning;
        tuning.requestTimeout = std::chrono::milliseconds(5000);
        tuning.connectTimeout = std::chrono::milliseconds(5000);
        // No reconnection within a run: the fake server answers one connection at a time.
        tuning.reconnectFirstDelay = std::chrono::hours(1);
        tuning.reconnectMaxDelay = std::chrono::hours(1);
        SdkSetTuning(tuning);
        return true;
    }();
    (void)tuned;

    FuzzBytes input(data, size);
    const std::uint32_t seed = input.Word();
    const std::string_view stream = input.Rest();
    const std::vector<Delivery> whole = Run(stream, false, seed);
    const std::vector<Delivery> pieces = Run(stream, true, seed);
    FUZZ_CHECK(whole == pieces, "the stream in pieces delivers the same as the stream whole");
    return 0;
}
