#include "chat/WorldList.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Names(const WorldList &list) {
    std::vector<std::string> names;
    for (const WorldList::Row &row : list.Rows()) {
        names.push_back(row.name);
    }
    return names;
}

WorldRecords Sample() {
    WorldRecords records;
    records.Report("beta", 1, 5);
    records.Report("Alpha", 1, 0);
    records.Report("Gamma", 2, 9);
    records.Report("delta", 0, 2);
    return records;
}

TEST(WorldList, FiltersHideEmptyAndPrivateWorlds) {
    struct Case {
        bool hideEmpty, hidePrivate;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {false, false, {"Alpha", "beta", "delta", "Gamma"}},
        {true, false, {"beta", "delta", "Gamma"}},
        {false, true, {"Alpha", "beta", "delta"}},
        {true, true, {"beta", "delta"}},
    };
    const WorldRecords records = Sample();
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "hide empty " << c.hideEmpty << ", hide private " << c.hidePrivate);
        WorldList list;
        list.Rebuild(records, c.hideEmpty, c.hidePrivate);
        EXPECT_EQ(Names(list), c.names);
    }
}

TEST(WorldList, HeaderClicksToggleTheSortKey) {
    struct Step {
        int column;
        int key;
        std::vector<std::string> names;
    };
    const Step steps[] = {
        {0, -1, {"Gamma", "delta", "beta", "Alpha"}}, // the first click on Worlds reverses the initial order
        {1, 2, {"Gamma", "beta", "delta", "Alpha"}},  // most users first
        {1, -2, {"Alpha", "delta", "beta", "Gamma"}}, // then fewest
        {0, 1, {"Alpha", "beta", "delta", "Gamma"}},
    };
    WorldList list;
    list.Rebuild(Sample(), false, false);
    EXPECT_EQ(list.SortKey(), 1);
    for (const Step &step : steps) {
        list.HeaderClicked(step.column);
        EXPECT_EQ(list.SortKey(), step.key);
        EXPECT_EQ(Names(list), step.names) << "key " << step.key;
    }
}

TEST(WorldList, AWorldGoneOrRefilledShowsAtTheNextRebuild) {
    WorldRecords records = Sample();
    WorldList list;
    list.Rebuild(records, true, false);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"beta", "delta", "Gamma"}));
    records.Report("alpha", 1, 3); // users arrive
    records.Report("GAMMA", 3, 0); // gone
    // Rows are copies: the view never reaches a removed record between rebuilds.
    EXPECT_EQ(Names(list), (std::vector<std::string>{"beta", "delta", "Gamma"}));
    list.Rebuild(records, true, false);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Alpha", "beta", "delta"}));
}

} // namespace
