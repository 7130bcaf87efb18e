#include "places/Coordinates.h"

#include <clocale>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace {

struct Place {
    std::string world;
    int z = 0;
    int x = 0;
    int y = 0;
    int yaw = 0;
    bool operator==(const Place &) const = default;
};

void PrintTo(const Place &p, std::ostream *os) {
    *os << "world '" << p.world << "' z " << p.z << " x " << p.x << " y " << p.y << " yaw " << p.yaw;
}

Place Parse(std::string_view text, Place start = {}) {
    ParseLocation(text, start.world, start.z, start.x, start.y, start.yaw);
    return start;
}

constexpr int kMax = std::numeric_limits<int>::max();
constexpr int kMin = std::numeric_limits<int>::min();

struct ParseCase {
    const char *text;
    Place expected;
};

TEST(ParseLocation, ReadsTheTextForms) {
    const ParseCase cases[] = {
        ParseCase{"40N 50W 2a 180", {"", 40000, 50000, 2000, 1800}},
        ParseCase{"Sunset 40n 50e", {"Sunset", 40000, -50000, 0, 0}}, ParseCase{"-5N", {"", -5000, 0, 0, 0}},
        ParseCase{"5S", {"", -5000, 0, 0, 0}}, ParseCase{"5.5W 0.3a", {"", 0, 5500, 300, 0}},
        ParseCase{"180", {"", 0, 0, 0, 1800}}, ParseCase{"-90", {"", 0, 0, 0, -900}},
        ParseCase{"45.5", {"", 0, 0, 0, 455}}, ParseCase{"1N 2S", {"", -2000, 0, 0, 0}},
        ParseCase{"40N50W", {"", 0, 40000, 0, 0}}, ParseCase{"40N\t50W", {"", 0, 40000, 0, 0}},
        ParseCase{"2ndWorld 1N", {"", 1000, 0, 0, 0}}, ParseCase{"+5N", {"+5N", 0, 0, 0, 0}},
        ParseCase{"My World 1N", {"World", 1000, 0, 0, 0}}, ParseCase{"  Sunset    1N   ", {"Sunset", 1000, 0, 0, 0}},
        ParseCase{"Sunset 1.9999N", {"Sunset", 1999, 0, 0, 0}}, ParseCase{"-0.0009N", {"", 0, 0, 0, 0}},
        ParseCase{"1e2W", {"", 0, 100000, 0, 0}}, ParseCase{"- .a 5x", {"", 0, 0, 0, 0}},
        // Beyond 32 bits saturates instead of overflowing.
        ParseCase{"99999999N", {"", kMax, 0, 0, 0}}, ParseCase{"99999999S", {"", kMin, 0, 0, 0}},
        ParseCase{"1e999W", {"", 0, kMax, 0, 0}}, ParseCase{"-1e999a", {"", 0, 0, kMin, 0}},
        ParseCase{"1e-999N", {"", 0, 0, 0, 0}},
        ParseCase{"1000000000000000000000000000000000000000000000000000000000000000000000000000000000"
                  "000000000000000000000",
                  {"", 0, 0, 0, kMax}},
        ParseCase{"-infN", {"", kMin, 0, 0, 0}}, ParseCase{"-nanN", {"", 0, 0, 0, 0}},
        ParseCase{"1,5N", {"", 1000, 0, 0, 0}}, ParseCase{"-0W", {"", 0, 0, 0, 0}},
        ParseCase{"0x10N", {"", 0, 0, 0, 0}}};
    for (const auto &c : cases) {
        EXPECT_EQ(Parse(c.text), c.expected) << "text: '" << c.text << "'";
    }
}

TEST(ParseLocationOutputs, OnlyTokensPresentAreWritten) {
    const Place start{"Home", 1, 2, 3, 4};
    EXPECT_EQ(Parse("", start), (Place{"", 1, 2, 3, 4})) << "an empty text sets the world to empty";
    EXPECT_EQ(Parse("   ", start), (Place{"", 1, 2, 3, 4}));
    EXPECT_EQ(Parse("7a", start), (Place{"Home", 1, 2, 7000, 4}));
    EXPECT_EQ(Parse("7q", start), start) << "an unknown last letter ignores the token";
}

struct FormatCase {
    int z, x, y, yaw;
    const char *text;
};

TEST(FormatCoordinates, WritesOneDecimalAndWholeDegrees) {
    const FormatCase cases[] = {FormatCase{40000, -50000, 2000, 1800, "40.0N 50.0E 2.0a 180"},
                                FormatCase{0, 0, -1500, -905, "0.0N 0.0W -1.5a -90"},
                                FormatCase{-12345, 4550, 50, 3599, "12.3S 4.5W 0.1a 359"},
                                FormatCase{kMin, kMax, kMin, kMin, "2147483.6S 2147483.6W -2147483.6a -214748364"}};
    for (const auto &c : cases) {
        EXPECT_EQ(FormatCoordinates(c.z, c.x, c.y, c.yaw), c.text);
    }
}

struct CornerCase {
    int z, x;
    const char *text;
};

TEST(MapCornerText, WritesThreeDecimals) {
    const CornerCase cases[] = {CornerCase{-1500, 6000, "1.500S 6.000W"}, CornerCase{0, -1, "0.000N 0.001E"},
                                CornerCase{12345, -6000, "12.345N 6.000E"},
                                CornerCase{kMin, kMax, "2147483.648S 2147483.647W"}};
    for (const auto &c : cases) {
        EXPECT_EQ(MapCornerText(c.z, c.x), c.text);
    }
}

TEST(CoordinatesRoundTrip, SurvivesWithinATenthOfAUnit) {
    for (const int v : {0, 1, -1, 49, 51, 999, -12345, 1000000}) {
        Place p = Parse(FormatCoordinates(v, -v, v, v * 10));
        EXPECT_LE(std::abs(p.z - v), 100) << v;
        EXPECT_LE(std::abs(p.x + v), 100) << v;
        EXPECT_LE(std::abs(p.y - v), 100) << v;
        EXPECT_EQ(p.yaw, v * 10) << v;
    }
}

// Qt switches the C library to the user's locale at start-up; the text form must not follow it.
TEST(CoordinatesLocale, DecimalPointIsAlwaysADot) {
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) {
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/run-tests generates it when run as root)";
    }
    const std::string written = FormatCoordinates(1500, -2500, 500, 900);
    const Place read = Parse("1.5N 2.5E 0.5a 90");
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(written, "1.5N 2.5E 0.5a 90");
    EXPECT_EQ(read, (Place{"", 1500, -2500, 500, 900}));
}

} // namespace
