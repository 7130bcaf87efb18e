// Names that people type compare in any letter case of any script.

#include "common/UnicodeCase.h"

#include <clocale>
#include <gtest/gtest.h>

namespace {

TEST(UnicodeCase, NamesMatchInAnyCaseOfAnyScript) {
    struct Case {
        const char *a;
        const char *b;
        bool same;
    };
    const Case cases[] = {
        {"Town", "tOWN", true},
        {"\xc3\x89T\xc3\x89", "\xc3\xa9t\xc3\xa9", true},               // ÉTÉ, été
        {"\xd0\x96\xd0\xb0\xd1\x80", "\xd0\xb6\xd0\x90\xd0\xa0", true}, // Жар, жАР
        {"\xce\xa3\xce\xb1", "\xcf\x82\xce\xb1", true},                 // Σα, ςα: both small sigmas meet
        {"\xc3\xa9t\xc3\xa9", "ete", false},                            // accents still count
        {"Town", "Town2", false},
        {"\xff"
         "A",
         "\xff"
         "a",
         true}, // not UTF-8: ASCII letters only
        {"\xff\xc3\x89", "\xff\xc3\xa9", false},
        {"\xf0\x9f\x98\x80", "\xf0\x9f\x98\x80", true}, // emoji, no case
    };
    for (const Case &c : cases) {
        EXPECT_EQ(SameUnicodeName(c.a, c.b), c.same) << c.a << " / " << c.b;
    }
}

TEST(UnicodeCase, FoldsWhateverLocaleTheProgramRunsIn) {
    // The server runs in the C locale; the fold must not depend on it.
    const char *before = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = before ? before : "C";
    std::setlocale(LC_CTYPE, "C");
    EXPECT_EQ(FoldUnicodeCase("\xc3\x89T\xc3\x89"), "\xc3\xa9t\xc3\xa9");
    std::setlocale(LC_CTYPE, saved.c_str());
}

} // namespace
