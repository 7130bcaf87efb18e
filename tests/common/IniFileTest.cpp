#include "common/IniFile.h"

#include "TempDir.h"
#include "common/Decimal.h"

#include <climits>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

struct DecimalCase {
    const char *text;
    int value;
};

TEST(ReadDecimal, FollowsTheCLibraryConversionAndSaturates) {
    const DecimalCase cases[] = {{"42", 42},
                                 {"  -17", -17},
                                 {"+8", 8},
                                 {"\t\r\n 5", 5},
                                 {"12abc", 12},
                                 {"abc", 0},
                                 {"", 0},
                                 {"-", 0},
                                 {"- 5", 0},
                                 {"1 2", 1},
                                 {"0x1F", 0},
                                 {"2147483647", INT_MAX},
                                 {"2147483648", INT_MAX},
                                 {"-2147483648", INT_MIN},
                                 {"-99999999999999999999999", INT_MIN},
                                 {"000000000000000000000000000007", 7}};
    for (const auto &c : cases) {
        EXPECT_EQ(ReadDecimal(c.text), c.value) << "text: '" << c.text << "'";
    }
}

struct LookupCase {
    const char *name;
    const char *text;
    const char *section;
    const char *key;
    std::optional<std::string> value;
};

TEST(IniFile, FindsValuesAsAPersonWritesThem) {
    const LookupCase cases[] = {
        {"plain", "[Settings]\nShowGradient=1\n", "Settings", "ShowGradient", "1"},
        {"CR LF line ends", "[Settings]\r\nA=1\r\nB=two\r\n", "Settings", "B", "two"},
        {"byte-order mark", "\xEF\xBB\xBF[Settings]\nA=1\n", "Settings", "A", "1"},
        {"letter case of names", "[settings]\nshowgradient=0\n", "SETTINGS", "ShowGradient", "0"},
        {"white space around", "  [ Settings ]  \n  Key  =  some value  \n", "Settings", "Key", "some value"},
        {"empty value", "[S]\nK=\n", "S", "K", ""},
        {"equals sign in value", "[S]\nK=a=b\n", "S", "K", "a=b"},
        {"first of duplicate keys wins", "[S]\nK=first\nK=second\n", "S", "K", "first"},
        {"first of duplicate sections wins", "[S]\nK=first\n[S]\nK=second\n", "S", "K", "first"},
        {"key only in a repeated section", "[S]\nA=1\n[T]\n[S]\nK=late\n", "S", "K", "late"},
        {"other section", "[S]\nK=1\n[T]\nK=2\n", "T", "K", "2"},
        {"missing key", "[S]\nK=1\n", "S", "Other", std::nullopt},
        {"missing section", "[S]\nK=1\n", "T", "K", std::nullopt},
        {"key before any section", "K=1\n[S]\n", "S", "K", std::nullopt},
        {"comment", "[S]\n;K=1\n#K=2\n", "S", "K", std::nullopt},
        {"unclosed header", "[S]\n[T\nK=1\n", "S", "K", "1"},
        {"no final line break", "[S]\nK=1", "S", "K", "1"},
        {"empty key", "[S]\n=1\n", "S", "", std::nullopt},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(IniFile::Parse(c.text).Get(c.section, c.key), c.value) << c.name;
    }
}

TEST(IniFile, KeepsLinesItCannotReadAsTheyAre) {
    using namespace std::string_literals;
    const std::string text = "[S]\n\x01\xff\0junk\n[T\nK=1\n"s;
    const IniFile ini = IniFile::Parse(text);
    EXPECT_EQ(ini.Get("S", "K"), "1");
    EXPECT_EQ(ini.Text(), text);
}

struct IntCase {
    const char *value;
    int expected;
};

TEST(IniFile, IntegersReadNonNumericTextAsZeroAndMissingKeysAsTheFallback) {
    const IntCase cases[] = {{"1", 1}, {"255", 255}, {"abc", 0}, {"", 0}, {"7 apples", 7}, {"-3", -3}};
    for (const auto &c : cases) {
        const IniFile ini = IniFile::Parse(std::string("[S]\nK=") + c.value + "\n");
        EXPECT_EQ(ini.GetInt("S", "K", 99), c.expected) << "value: '" << c.value << "'";
    }
    EXPECT_EQ(IniFile().GetInt("S", "K", 99), 99);
    EXPECT_EQ(IniFile().GetString("S", "K", "fallback"), "fallback");
}

TEST(IniFile, SettingKeepsEverythingElseWhereItWas) {
    IniFile ini = IniFile::Parse("; written by hand\n"
                                 "[Settings]\n"
                                 "Mine=kept\n"
                                 "ShowGradient=1\n"
                                 "ShowGradient=9\n"
                                 "\n"
                                 "; the fonts\n"
                                 "[fonts]\n"
                                 "Size=200\n");
    ini.SetInt("Settings", "showgradient", 0); // updates the first copy, keeps its spelling
    ini.SetString("Settings", "New", "added");
    ini.SetInt("Fonts", "Size", 240);
    ini.SetString("Feedback", "Host", "mail\r\n[Injected]\nX=1");
    EXPECT_EQ(ini.Text(), "; written by hand\n"
                          "[Settings]\n"
                          "Mine=kept\n"
                          "ShowGradient=0\n"
                          "ShowGradient=9\n"
                          "New=added\n"
                          "\n"
                          "; the fonts\n"
                          "[fonts]\n"
                          "Size=240\n"
                          "[Feedback]\n"
                          "Host=mail[Injected]X=1\n");
    EXPECT_EQ(IniFile::Parse(ini.Text()).Get("Injected", "X"), std::nullopt) << "a value cannot add a section";
}

TEST(IniFile, SavesAtomicallyAndLoadsBack) {
    TempDir dir;
    const std::string path = dir.File("gabbler.ini");
    IniFile missing;
    EXPECT_TRUE(missing.Load(path)) << "a missing file is an empty one";
    EXPECT_EQ(missing.Text(), "");

    IniFile ini;
    ini.SetString("Settings", "WaveLocation", "/home/me/sounds/ding dong.wav");
    ini.SetInt("Settings", "AvMapLeft", -20);
    ASSERT_TRUE(ini.Save(path).ok);
    IniFile read;
    ASSERT_TRUE(read.Load(path));
    EXPECT_EQ(read.Text(), ini.Text());
    EXPECT_EQ(read.GetString("Settings", "WaveLocation", ""), "/home/me/sounds/ding dong.wav");
    EXPECT_EQ(read.GetInt("Settings", "AvMapLeft", 0), -20);
}

} // namespace
