// The demo universe inside the program keeps its port from run to run, so that the profiles made for it keep
// working; when that port is busy it takes another and moves the profiles with it.

#include "app/ui/DemoUniverse.h"

#include "TempDir.h"
#include "common/AtomicFile.h"
#include "login/ProfileStore.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

ServerOptions Quick() {
    ServerOptions options;
    options.demoPeople = false;
    options.passwordIterations = 1;
    return options;
}

// Takes a loopback port away from the demo, as another program would.
class PortSquatter {
public:
    explicit PortSquatter(int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(fd_, 1) == 0;
    }
    ~PortSquatter() { ::close(fd_); }
    bool Bound() const { return bound_; }

private:
    int fd_ = -1;
    bool bound_ = false;
};

std::string ProfileLine(const char *name, const char *host, int port) {
    LoginProfile p;
    p.name = name;
    p.citizen = 1;
    p.privilegePassword = "pw";
    p.botName = "Bot";
    p.universeHost = host;
    p.universePort = port;
    p.world = "Town";
    return ProfileStore::FormatLine(p);
}

int PortOf(const std::string &profiles, const char *name) {
    ProfileStore store;
    EXPECT_TRUE(store.Read(profiles));
    const LoginProfile *p = store.Find(name);
    return p ? p->universePort : -1;
}

TEST(DemoUniverse, KeepsItsPortBetweenRunsAndMovesTheProfilesOnlyWhenItMust) {
    TempDir dir;
    const std::string profiles = dir.File("profiles.txt");
    int first = 0;
    {
        DemoUniverse demo = StartDemoUniverse(dir.Path(), Quick());
        ASSERT_TRUE(demo.server) << demo.error;
        first = demo.server->Port();
        EXPECT_EQ(demo.notice, "");
        EXPECT_EQ(PortOf(profiles, "Demo"), first);
    }
    ASSERT_TRUE(WriteFileAtomically(profiles, *ReadWholeFile(profiles) + ProfileLine("Mine", "127.0.0.1", first) +
                                                  ProfileLine("Local", "localhost", first) +
                                                  ProfileLine("Elsewhere", "uni.example", first) +
                                                  ProfileLine("OtherPort", "127.0.0.1", 5870))
                    .ok);
    {
        DemoUniverse again = StartDemoUniverse(dir.Path(), Quick());
        ASSERT_TRUE(again.server) << again.error;
        EXPECT_EQ(again.server->Port(), first) << "the next run listens where the profiles point";
        EXPECT_EQ(PortOf(profiles, "Mine"), first);
    }

    PortSquatter squatter(first);
    ASSERT_TRUE(squatter.Bound());
    DemoUniverse moved = StartDemoUniverse(dir.Path(), Quick());
    ASSERT_TRUE(moved.server) << moved.error;
    const int second = moved.server->Port();
    EXPECT_NE(second, first);
    EXPECT_NE(moved.notice.find(std::to_string(first)), std::string::npos) << moved.notice;
    EXPECT_NE(moved.notice.find(std::to_string(second)), std::string::npos) << moved.notice;
    struct Expected {
        const char *profile;
        int port;
    };
    for (const Expected &e : {Expected{"Demo", second}, Expected{"Mine", second}, Expected{"Local", second},
                              Expected{"Elsewhere", first}, Expected{"OtherPort", 5870}}) {
        EXPECT_EQ(PortOf(profiles, e.profile), e.port) << e.profile;
    }
    moved.server->Stop();
    DemoUniverse last = StartDemoUniverse(dir.Path(), Quick());
    ASSERT_TRUE(last.server) << last.error;
    EXPECT_EQ(last.server->Port(), second) << "the new port is kept in its turn";
}

} // namespace
