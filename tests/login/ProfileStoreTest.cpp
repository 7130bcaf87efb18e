#include "login/ProfileStore.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

LoginProfile Profile(std::string name, int citizen, std::string password, std::string bot, std::string host, int port,
                     std::string world, std::string coordinates) {
    return {std::move(name), citizen, std::move(password), std::move(bot),
            std::move(host), port,    std::move(world),    std::move(coordinates)};
}

struct LineCase {
    const char *name;
    const char *line;
    std::optional<LoginProfile> profile;
};

TEST(ProfileStore, ReadsLinesOfEightColonTerminatedFields) {
    const LineCase cases[] = {
        {"full line", "Home:1234:secret:[Bot]:uni.example:5670:Sunset:40N 50W 2a 180:",
         Profile("Home", 1234, "secret", "[Bot]", "uni.example", 5670, "Sunset", "40N 50W 2a 180")},
        {"eighth colon missing", "Home:1234:secret:[Bot]:uni.example:5670:Sunset:40N 50W", std::nullopt},
        {"too few fields", "Home:1:p:b:h:0:w:", std::nullopt},
        {"empty fields", ":0::::0:::", Profile("", 0, "", "", "", 0, "", "")},
        {"text after the eighth colon is dropped", "A:1:p:b:h:2:w:c:extra:more",
         Profile("A", 1, "p", "b", "h", 2, "w", "c")},
        {"white space around the line", " \t A:1:p:b:h:2:w:c: \r", Profile("A", 1, "p", "b", "h", 2, "w", "c")},
        {"white space inside fields is kept",
         "A: 7 : p :b:h: 8x:w w:c:", Profile("A", 7, " p ", "b", "h", 8, "w w", "c")},
        {"digits then letters", "A:12ab:p:b:h:99zz:w:c:", Profile("A", 12, "p", "b", "h", 99, "w", "c")},
        {"letters only", "A:abc:p:b:h:port:w:c:", Profile("A", 0, "p", "b", "h", 0, "w", "c")},
        {"negative and huge numbers",
         "A:-5:p:b:h:99999999999:w:c:", Profile("A", -5, "p", "b", "h", 2147483647, "w", "c")},
        {"blank line", "   ", std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ProfileStore::ParseLine(c.line), c.profile) << c.name;
    }
}

TEST(ProfileStore, DropsBadLinesAndLaterNamesDifferingOnlyInCase) {
    ProfileStore store;
    store.ReadText("Home:1:p:b:h:0:w:c:\r\n"
                   "broken line\r\n"
                   "\r\n"
                   "HOME:2:p:b:h:0:w:c:\r\n"
                   "Away:3:p:b:h:0:w:c:extra\n"
                   "home:4:p:b:h:0:w:c:");
    ASSERT_EQ(store.Count(), 2u);
    EXPECT_EQ(store.Find("hOmE")->citizen, 1);
    EXPECT_EQ(store.Text(), "Home:1:p:b:h:0:w:c:\r\nAway:3:p:b:h:0:w:c:\r\n");
    EXPECT_FALSE(store.Add(Profile("AWAY", 9, "", "", "", 0, "", "")));
    EXPECT_TRUE(store.Add(Profile("New", 9, "", "", "", 0, "", "")));
    EXPECT_EQ(store.Profiles().back().name, "New") << "new profiles go to the end";
}

TEST(ProfileStore, WritesAPrivateFileThatReadsBack) {
    TempDir dir;
    const std::string path = dir.File("profiles.txt");
    ProfileStore missing;
    EXPECT_TRUE(missing.Read(path)) << "no file: no profiles, no failure";
    EXPECT_EQ(missing.Count(), 0u);

    ProfileStore store;
    store.Add(Profile("Zeta", 1, "pw", "Bot", "localhost", 0, "w", "0n 0e"));
    store.Add(Profile("Alpha", 2147483647, "p w", "[B]", "10.0.0.1", 65535, "Sunset", "1.5N 2W 0.5a 90"));
    LoginProfile fresh;
    fresh.name = "Fresh";
    store.Add(fresh);
    ASSERT_TRUE(store.Write(path).ok);
    EXPECT_EQ(ReadWholeFile(path), "Zeta:1:pw:Bot:localhost:0:w:0n 0e:\r\n"
                                   "Alpha:2147483647:p w:[B]:10.0.0.1:65535:Sunset:1.5N 2W 0.5a 90:\r\n"
                                   "Fresh:0:::localhost:0::0n 0e:\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600) << "the file holds passwords";

    ProfileStore read;
    ASSERT_TRUE(read.Read(path));
    EXPECT_EQ(read.Profiles(), store.Profiles());
}

struct UniverseCase {
    const char *text;
    UniverseAddress address;
};

TEST(SplitUniverse, HostBeforeTheFirstColonAndPortAfterIt) {
    const UniverseCase cases[] = {
        {"uni.example:5670", {"uni.example", 5670}},
        {"uni.example", {"uni.example", 0}},
        {":6000", {"", 6000}},
        {"", {kDefaultUniverseHost, 0}},
        {"   ", {kDefaultUniverseHost, 0}},
        {"  host:12  ", {"host", 12}},
        {"host:", {"host", 0}},
        {"host:12:34", {"host", 12}},
        {"host:port", {"host", 0}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SplitUniverse(c.text), c.address) << "text: '" << c.text << "'";
    }
    EXPECT_EQ(UniverseText("host", 12), "host:12");
}

TEST(UnsavableFieldMessage, RefusesColonsAndLineBreaksNamingTheField) {
    EXPECT_EQ(UnsavableFieldMessage("bot name", "Plain [Bot] name"), std::nullopt);
    for (const char *text : {"a:b", ":", "a\nb", "a\r"}) {
        const auto message = UnsavableFieldMessage("bot name", text);
        ASSERT_TRUE(message.has_value()) << text;
        EXPECT_NE(message->find("bot name"), std::string::npos) << *message;
    }
}

TEST(EnsureProfile, AddsTheProfileOrPointsTheExistingOneAtItsUniverse) {
    TempDir dir;
    const std::string path = dir.File("profiles.txt");
    const LoginProfile demo = Profile("Demo", 1, "demo", "[Demo]", "127.0.0.1", 40001, "demo", "0n 0e");
    ASSERT_TRUE(EnsureProfile(path, demo).ok);
    EXPECT_EQ(ReadWholeFile(path), ProfileStore::FormatLine(demo));

    ASSERT_TRUE(WriteFileAtomically(path, "Mine:5:x:y:z:1:w:c:\r\ndemo:1:demo:[Edited]:127.0.0.1:40001:w:c:\r\n").ok);
    LoginProfile moved = demo;
    moved.universePort = 40002;
    ASSERT_TRUE(EnsureProfile(path, moved).ok);
    EXPECT_EQ(ReadWholeFile(path), "Mine:5:x:y:z:1:w:c:\r\ndemo:1:demo:[Edited]:127.0.0.1:40002:w:c:\r\n");
}

} // namespace
