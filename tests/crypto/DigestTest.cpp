// Hashes, key derivation, random bytes and comparisons of secrets, checked against published known answers.

#include "crypto/Digest.h"

#include "crypto/ConstantTime.h"
#include "crypto/Random.h"

#include <gtest/gtest.h>
#include <set>

namespace {

using namespace std::string_literals;

TEST(Digest, Sha256KnownAnswers) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    };
    for (const auto &[in, out] : cases) {
        const auto d = Sha256(in);
        EXPECT_EQ(ToHex(d.data(), d.size()), out) << in.size() << " bytes";
    }
}

TEST(Digest, HmacSha256KnownAnswers) {
    const struct {
        std::string key, message, expected;
    } cases[] = {
        {"Jefe", "what do ya want for nothing?", "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843"},
        // A key longer than the block is hashed first.
        {std::string(131, '\xaa'), "Test Using Larger Than Block-Size Key - Hash Key First",
         "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54"},
    };
    for (const auto &c : cases) {
        const auto d = HmacSha256(c.key, c.message);
        EXPECT_EQ(ToHex(d.data(), d.size()), c.expected) << c.message;
    }
}

TEST(Digest, Pbkdf2HmacSha256KnownAnswers) {
    const struct {
        std::string password, salt;
        int iterations;
        std::size_t length;
        std::string expected;
    } cases[] = {
        {"password", "salt", 1, 32, "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b"},
        {"password", "salt", 2, 32, "ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43"},
        {"password", "salt", 4096, 32, "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a"},
        {"passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 40,
         "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9"},
        {"pass\0word"s, "sa\0lt"s, 4096, 16, "89b69d0516f829893c696226650a8687"},
        {"passwd", "salt", 1, 64,
         "55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
         "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783"},
        {"Password", "NaCl", 80000, 64,
         "4ddcd8f60b98be21830cee5ef22701f9641a4418d04c0414aeff08876b34ab56"
         "a1d425a1225833549adb841b51c9b3176a272bdebba1d078478f62b397f33c8d"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ToHex(Pbkdf2HmacSha256(c.password, c.salt, c.iterations, c.length)), c.expected)
            << c.password << " / " << c.iterations;
    EXPECT_EQ(Pbkdf2HmacSha256("password", "salt", 0, 32), "") << "no iterations is refused, not taken as one";
}

TEST(Random, BytesDifferFromCallToCall) {
    std::set<std::string> seen;
    for (int i = 0; i < 64; ++i) {
        const auto bytes = RandomBytes(16);
        ASSERT_TRUE(bytes);
        EXPECT_EQ(bytes->size(), 16u);
        seen.insert(*bytes);
    }
    EXPECT_EQ(seen.size(), 64u);
    EXPECT_EQ(RandomBytes(0), std::string());
}

TEST(ConstantTime, EqualsOnlyForTheSameBytes) {
    const struct {
        std::string a, b;
        bool equal;
    } cases[] = {
        {"", "", true},
        {"attach-secret", "attach-secret", true},
        {"a\0b"s, "a\0b"s, true},
        {"attach-secret", "Attach-secret", false},
        {"attach-secret", "attach-secreT", false},
        {"attach-secret", "attach-secret ", false},
        {"attach-secret", "attach", false},
        {"", "x", false},
        {"a\0b"s, "a\0c"s, false},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ConstantTimeEquals(c.a, c.b), c.equal) << c.a << " / " << c.b;
        EXPECT_EQ(ConstantTimeEquals(c.b, c.a), c.equal) << c.b << " / " << c.a;
    }
}

} // namespace
