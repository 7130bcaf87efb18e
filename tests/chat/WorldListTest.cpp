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

// Names of worlds in any script: one record whatever their letter case (full case folding, so "STRASSE" is
// "Straße"), and in the order of the words, not of their bytes.
TEST(WorldRecords, ANameIsOneWorldWhateverItsCaseInAnyScript) {
    struct Case {
        const char *first;
        const char *second;
        bool same;
    };
    const Case cases[] = {
        {"Sunset", "SUNSET", true},
        {"\xc3\xa9t\xc3\xa9", "\xc3\x89T\xc3\x89", true}, // été, ÉTÉ
        {"Stra\xc3\x9f"
         "e",
         "STRASSE", true},                                                              // Straße: ß folds to ss
        {"\xce\x8c\xce\xa3\xce\x9f\xce\xa3", "\xcf\x8c\xcf\x83\xce\xbf\xcf\x82", true}, // ΌΣΟΣ, όσος
        {"\xc4\xb0zmir", "i\xcc\x87zmir", true},                                        // İzmir, i and a dot above
        {"e\xcc\x81t\xc3\xa9", "\xc3\xa9t\xc3\xa9", true},                              // é written as e and an accent
        {"\xc3\xa9t\xc3\xa9", "ete", false},
        {"Zo\xc3\xab", "Zoe", false},
        {"\xff"
         "a",
         "\xfe"
         "a",
         false}, // not UTF-8: never one world through replacement characters
        {"\xff"
         "A",
         "\xff"
         "a",
         true},
    };
    for (const Case &c : cases) {
        WorldRecords records;
        records.Report(c.first, 1, 1);
        records.Report(c.second, 1, 2);
        EXPECT_EQ(records.Size(), c.same ? 1u : 2u) << c.first << " and " << c.second;
        ASSERT_NE(records.Find(c.second), nullptr) << c.second;
        EXPECT_EQ(records.Find(c.second)->name, c.same ? c.first : c.second) << "the name keeps its first spelling";
        EXPECT_EQ(records.Find(c.second)->users, 2);
    }
}

TEST(WorldList, SortsNamesAsWordsNotAsBytes) {
    WorldRecords records;
    for (const char *name : {"Zoo", "\xc3\xa9t\xc3\xa9", "Alpha",
                             "\xc3\x89"
                             "b\xc3\xa8"
                             "ne",
                             "z\xc3\xa8"
                             "bre",
                             "\xc3\x84pfel", "beta"}) {
        records.Report(name, 1, 1);
    }
    WorldList list;
    list.Rebuild(records, false, false);
    const std::vector<std::string> ascending = {"Alpha",
                                                "\xc3\x84pfel",
                                                "beta",
                                                "\xc3\x89"
                                                "b\xc3\xa8"
                                                "ne",
                                                "\xc3\xa9t\xc3\xa9",
                                                "z\xc3\xa8"
                                                "bre",
                                                "Zoo"};
    EXPECT_EQ(Names(list), ascending);
    list.HeaderClicked(0);
    EXPECT_EQ(Names(list), std::vector<std::string>(ascending.rbegin(), ascending.rend()));
}

} // namespace
