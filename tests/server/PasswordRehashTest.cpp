// A privilege password hash stored with weaker settings than the server uses today is replaced by a fresh one at
// the citizen's next successful login, and only then.

#include "TempDir.h"
#include "sdk/Attributes.h"
#include "sdk/Sdk.h"
#include "server/PasswordHash.h"
#include "server/Store.h"
#include "server/UniverseServer.h"

#include <gtest/gtest.h>

namespace {

constexpr int kIterationsToday = 3;
constexpr const char *kPassword = "founder-pw";
const std::string kLongSalt = "00112233445566778899aabbccddeeff";

std::string StoredHash(const std::string &folder) {
    Store store;
    std::string error;
    EXPECT_TRUE(store.Open(folder + "/universe.db", error)) << error;
    const auto citizen = store.CitizenByNumber(1);
    return citizen ? citizen->passwordHash : std::string();
}

int LogIn(int port, const std::string &password) {
    if (const int r = SdkCreate("127.0.0.1", port, 0))
        return r;
    SdkSetInt(kAttrLoginCitizen, 1);
    SdkSetString(kAttrLoginPassword, password);
    SdkSetString(kAttrLoginName, "Bot");
    SdkSetString(kAttrApplication, "Test Build 1");
    return SdkLogin();
}

TEST(PasswordRehash, WeakerHashesAreRenewedAtTheNextSuccessfulLogin) {
    const struct {
        const char *name;
        std::string stored;
        bool renewed;
    } cases[] = {
        {"fewer iterations", HashPasswordWithSalt(kPassword, kLongSalt, 1), true},
        {"a short salt", HashPasswordWithSalt(kPassword, "salt", kIterationsToday), true},
        {"today's settings", HashPasswordWithSalt(kPassword, kLongSalt, kIterationsToday), false},
        {"more iterations than today", HashPasswordWithSalt(kPassword, kLongSalt, kIterationsToday + 2), false},
    };
    ASSERT_EQ(SdkInit(kSdkBuild), 0);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir data;
        {
            Store store;
            std::string error;
            ASSERT_TRUE(store.Open(data.File("universe.db"), error)) << error;
            ASSERT_TRUE(store.AddCitizen({1, "Founder", c.stored, ""}));
        }
        ServerOptions options;
        options.port = 0;
        options.dataFolder = data.Path();
        options.passwordIterations = kIterationsToday;
        UniverseServer server(options);
        ASSERT_TRUE(server.Start()) << server.LastError();

        EXPECT_EQ(LogIn(server.Port(), "wrong"), 43);
        SdkDestroy();
        server.Stop();
        EXPECT_EQ(StoredHash(data.Path()), c.stored) << "a failed login changes nothing";

        ASSERT_TRUE(server.Start()) << server.LastError();
        EXPECT_EQ(LogIn(server.Port(), kPassword), 0);
        SdkDestroy();
        server.Stop();
        const std::string now = StoredHash(data.Path());
        EXPECT_EQ(now != c.stored, c.renewed) << now;
        EXPECT_TRUE(VerifyPassword(kPassword, now)) << now;
        EXPECT_FALSE(VerifyPassword("wrong", now)) << now;
        EXPECT_FALSE(PasswordNeedsRehash(now, kIterationsToday)) << now;

        ASSERT_TRUE(server.Start()) << server.LastError();
        EXPECT_EQ(LogIn(server.Port(), kPassword), 0) << "the renewed hash lets the citizen in again";
        SdkDestroy();
        server.Stop();
    }
    SdkTerm();
}

TEST(PasswordRehash, WeakerMeansFewerIterationsOrAShorterSaltThanToday) {
    const struct {
        std::string stored;
        int iterationsToday;
        bool weaker;
    } cases[] = {
        {"pbkdf2-sha256$4096$" + kLongSalt + "$" + std::string(64, '0'), 4096, false},
        {"pbkdf2-sha256$4096$" + kLongSalt + "$" + std::string(64, '0'), 4097, true},
        {"pbkdf2-sha256$600000$" + kLongSalt + "$" + std::string(64, '0'), 4096, false},
        {"pbkdf2-sha256$4096$" + kLongSalt.substr(2) + "$" + std::string(64, '0'), 4096, true},
        {"pbkdf2-sha256$4096$salt$" + std::string(64, '0'), 4096, true},
        {"plain", 4096, true},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PasswordNeedsRehash(c.stored, c.iterationsToday), c.weaker)
            << c.stored << " today " << c.iterationsToday;
}

} // namespace
