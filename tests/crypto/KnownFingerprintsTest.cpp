// The window's list of bot certificates: the first attach remembers, a different certificate later is refused.

#include "crypto/KnownFingerprints.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::string Fingerprint(char digit) {
    std::string out;
    for (int i = 0; i < 32; ++i)
        out += std::string(i ? ":" : "") + digit + digit;
    return out;
}

const std::string kA = Fingerprint('A');
const std::string kB = Fingerprint('B');

TEST(KnownFingerprints, TheFirstAttachRemembersAndADifferentCertificateLaterIsRefused) {
    TempDir dir;
    const std::string path = dir.File("bot-fingerprints.txt");
    KnownFingerprints known(path);
    const struct {
        const char *name;
        std::string hostPort, fingerprint;
        bool accepted, remembered;
    } steps[] = {
        {"first attach", "bot.example.org:5871", kA, true, true},
        {"the same certificate again", "bot.example.org:5871", kA, true, false},
        {"the host written in capitals", "Bot.Example.ORG:5871", kA, true, false},
        {"the fingerprint in small letters", "bot.example.org:5871", Fingerprint('a'), true, false},
        {"another certificate", "bot.example.org:5871", kB, false, false},
        {"another port is another bot", "bot.example.org:5872", kB, true, true},
        {"not a fingerprint", "other:1", "AA:BB", false, false},
        {"no certificate", "other:1", "", false, false},
        {"no bot address", "", kA, false, false},
        {"an address with a blank", "bad host:1", kA, false, false},
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.name);
        const FingerprintVerdict v = known.Check(s.hostPort, s.fingerprint);
        EXPECT_EQ(v.accepted, s.accepted) << v.message;
        EXPECT_EQ(v.remembered, s.remembered) << v.message;
    }
    const auto file = ReadWholeFile(path);
    ASSERT_TRUE(file);
    EXPECT_NE(file->find("bot.example.org:5871 " + kA + "\n"), std::string::npos) << *file;
    EXPECT_NE(file->find("bot.example.org:5872 " + kB + "\n"), std::string::npos) << *file;
    EXPECT_EQ(file->find("other:1"), std::string::npos) << *file;
    EXPECT_EQ(file->find("bad host"), std::string::npos) << *file;
}

TEST(KnownFingerprints, TheRefusalNamesBothFingerprintsAndTheFileToEdit) {
    TempDir dir;
    const std::string path = dir.File("bot-fingerprints.txt");
    KnownFingerprints known(path);
    ASSERT_TRUE(known.Check("10.0.0.5:5871", kA).accepted);
    const FingerprintVerdict v = known.Check("10.0.0.5:5871", kB);
    EXPECT_FALSE(v.accepted);
    for (const std::string &part : {kA, kB, path, std::string("10.0.0.5:5871"), std::string("delete the line")})
        EXPECT_NE(v.message.find(part), std::string::npos) << part << " in: " << v.message;
}

TEST(KnownFingerprints, HandEditedLinesAreReadAndKept) {
    TempDir dir;
    const std::string path = dir.File("bot-fingerprints.txt");
    const std::string edited = "# my bots\n\n  home:5871\t" + Fingerprint('c') +
                               "  \nbroken:1 not-a-fingerprint\n"
                               "lonely:2";
    ASSERT_TRUE(WriteFileAtomically(path, edited).ok);
    KnownFingerprints known(path);
    EXPECT_TRUE(known.Check("home:5871", Fingerprint('C')).accepted);
    EXPECT_FALSE(known.Check("home:5871", kA).accepted);
    const FingerprintVerdict broken = known.Check("broken:1", kA);
    EXPECT_FALSE(broken.accepted) << "a line that cannot be read is no reason to trust any certificate";
    EXPECT_NE(broken.message.find("Line 4"), std::string::npos) << broken.message;
    EXPECT_FALSE(known.Check("lonely:2", kA).accepted);
    EXPECT_TRUE(known.Check("new:3", kA).remembered);
    EXPECT_EQ(ReadWholeFile(path), edited + "\nnew:3 " + kA + "\n");
}

TEST(KnownFingerprints, AFileThatCannotBeReadOrWrittenRefuses) {
    TempDir dir;
    const std::string unreadable = dir.File("bot-fingerprints.txt");
    std::filesystem::create_directory(unreadable);
    const FingerprintVerdict read = KnownFingerprints(unreadable).Check("bot:1", kA);
    EXPECT_FALSE(read.accepted);
    EXPECT_NE(read.message.find(unreadable), std::string::npos) << read.message;

    const std::string unwritable = dir.File("missing/bot-fingerprints.txt");
    const FingerprintVerdict write = KnownFingerprints(unwritable).Check("bot:1", kA);
    EXPECT_FALSE(write.accepted) << "else every attach would be a first one";
    EXPECT_NE(write.message.find(unwritable), std::string::npos) << write.message;
}

} // namespace
