#include "automation/ScriptStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

namespace {

TEST(ScriptStore, KeepsAnyTextAcrossARestart) {
    TempDir dir;
    const std::string path = dir.File("data/s.lua.store");
    {
        ScriptStore store(path);
        for (const char *text : {"plain", "tab\there", "two\nlines", "back\\slash\\t", "cr\r", ""}) {
            ASSERT_TRUE(store.Set(std::string("k ") + text, std::string(text)).ok) << text;
        }
        ASSERT_TRUE(store.Set("gone", std::string("x")).ok);
        ASSERT_TRUE(store.Set("gone", std::nullopt).ok);
    }
    ScriptStore again(path);
    EXPECT_TRUE(again.LoadProblem().empty());
    for (const char *text : {"plain", "tab\there", "two\nlines", "back\\slash\\t", "cr\r", ""}) {
        EXPECT_EQ(again.Get(std::string("k ") + text), std::string(text));
    }
    EXPECT_FALSE(again.Get("gone").has_value());
}

TEST(ScriptStore, RefusesWhatWouldPassItsCapAndKeepsWhatItHad) {
    TempDir dir;
    ScriptStore store(dir.File("s.store"), 100);
    ASSERT_TRUE(store.Set("a", std::string(90, 'x')).ok);
    FileResult refused = store.Set("b", std::string(20, 'y'));
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "the script's store is full (0 KiB)");
    EXPECT_FALSE(store.Get("b").has_value());
    // Replacing a value counts only the new size.
    EXPECT_TRUE(store.Set("a", std::string(95, 'z')).ok);
    EXPECT_EQ(ScriptStore(dir.File("s.store"), 100).Get("a"), std::string(95, 'z'));
}

TEST(ScriptStore, AHandEditedLineThatCannotBeReadIsLeftOut) {
    TempDir dir;
    ASSERT_TRUE(WriteFileAtomically(dir.File("s.store"), "good\tvalue\nno tab here\nbad\\q\tx\nlast\tone\n").ok);
    ScriptStore store(dir.File("s.store"));
    EXPECT_EQ(store.Get("good"), std::string("value"));
    EXPECT_EQ(store.Get("last"), std::string("one"));
    EXPECT_EQ(store.LoadProblem(), dir.File("s.store") + ": line 2 could not be read; it is left out.");
}

} // namespace
