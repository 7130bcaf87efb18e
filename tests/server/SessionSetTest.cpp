// The flat set of session numbers an observer knows, against std::set under random inserts and erases: the erase
// that moves later entries back is where such tables go wrong.

#include "server/SessionSet.h"

#include <gtest/gtest.h>
#include <random>
#include <set>

namespace {

TEST(SessionSet, AgreesWithAPlainSetUnderRandomChanges) {
    struct Case {
        int range; // session numbers drawn from 1..range
        int steps;
    };
    for (const Case c : {Case{8, 2000}, Case{300, 20000}, Case{5000, 40000}}) {
        std::mt19937 random(static_cast<unsigned>(c.range));
        std::uniform_int_distribution<int> session(1, c.range), what(0, 9);
        SessionSet set;
        std::set<int> plain;
        for (int step = 0; step < c.steps; ++step) {
            const int s = session(random);
            if (what(random) < 6)
                ASSERT_EQ(set.Insert(s), plain.insert(s).second) << "insert " << s << " at step " << step;
            else
                ASSERT_EQ(set.Erase(s), plain.erase(s) == 1) << "erase " << s << " at step " << step;
            ASSERT_EQ(set.Size(), plain.size());
        }
        for (int s = 1; s <= c.range; ++s)
            ASSERT_EQ(set.Contains(s), plain.count(s) == 1) << s;
        set.Clear();
        EXPECT_EQ(set.Size(), 0u);
        EXPECT_FALSE(set.Contains(1));
        EXPECT_FALSE(set.Erase(1));
        EXPECT_TRUE(set.Insert(1));
    }
}

} // namespace
