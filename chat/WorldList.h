#pragma once

#include "chat/WorldRecords.h"

#include <cstddef>
#include <string>
#include <vector>

// The Worlds tab: the world records as of the last complete world-list answer, filtered and sorted. Rows hold
// copies of their records, so a world removed from the records meanwhile can never be reached through a row.
class WorldList {
public:
    struct Row {
        std::string name;
        int users = 0;
        int status = 0;
        std::size_t rank = 0; // the name's place among the rows in the order of names, found once per rebuild
    };

    // Sort keys: 1 name ascending, -1 descending, 2 most users first, -2 fewest first.
    int SortKey() const { return sortKey_; }

    void Rebuild(const WorldRecords &records, bool hideEmpty, bool hidePrivate);
    // A click on column 0 ("Worlds") or 1 ("Users").
    void HeaderClicked(int column);

    const std::vector<Row> &Rows() const { return rows_; }

private:
    void Sort();

    std::vector<Row> rows_;
    int sortKey_ = 1;
};
