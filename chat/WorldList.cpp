#include "chat/WorldList.h"

#include <algorithm>

void WorldList::Rebuild(const WorldRecords &records, bool hideEmpty, bool hidePrivate) {
    rows_.clear();
    rows_.reserve(records.Size());
    std::vector<const NameKey *> orders;
    orders.reserve(records.Size());
    for (const WorldRecords::Record &record : records) {
        if ((hideEmpty && record.users == 0) || (hidePrivate && record.status == 2)) {
            continue;
        }
        rows_.push_back({record.name, record.users, record.status, 0});
        orders.push_back(&record.order);
    }
    // The names in the order of the words, case ignored, once; a tie falls back to the name's bytes, so the order is
    // the same on every rebuild. Every sort after this, header clicks included, compares ranks.
    std::vector<std::size_t> byName(rows_.size());
    for (std::size_t i = 0; i < byName.size(); ++i) {
        byName[i] = i;
    }
    std::sort(byName.begin(), byName.end(), [&](std::size_t a, std::size_t b) {
        const int order = orders[a]->Compare(*orders[b]);
        return order != 0 ? order < 0 : rows_[a].name < rows_[b].name;
    });
    for (std::size_t i = 0; i < byName.size(); ++i) {
        rows_[byName[i]].rank = i;
    }
    Sort();
}

void WorldList::HeaderClicked(int column) {
    if (column != 0 && column != 1) {
        return;
    }
    sortKey_ = sortKey_ == column + 1 ? -(column + 1) : column + 1;
    Sort();
}

void WorldList::Sort() {
    const int key = sortKey_;
    std::sort(rows_.begin(), rows_.end(), [key](const Row &a, const Row &b) {
        switch (key) {
        case -1:
            return b.rank < a.rank;
        case 2:
            return a.users != b.users ? a.users > b.users : a.rank < b.rank;
        case -2:
            return a.users != b.users ? a.users < b.users : a.rank < b.rank;
        default:
            return a.rank < b.rank;
        }
    });
}
