#include "chat/WorldList.h"

#include <algorithm>

void WorldList::Rebuild(const WorldRecords &records, bool hideEmpty, bool hidePrivate) {
    rows_.clear();
    rows_.reserve(records.Size());
    for (const WorldRecords::Record &record : records) {
        if ((hideEmpty && record.users == 0) || (hidePrivate && record.status == 2)) {
            continue;
        }
        rows_.push_back({record.name, record.users, record.status, record.order});
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
    // Names in the order of the words, case ignored; ties fall back to the name's bytes so the order is the same on
    // every rebuild.
    const auto byName = [](const Row &a, const Row &b) {
        const int order = a.key.Compare(b.key);
        return order != 0 ? order < 0 : a.name < b.name;
    };
    std::sort(rows_.begin(), rows_.end(), [key, &byName](const Row &a, const Row &b) {
        switch (key) {
        case -1:
            return byName(b, a);
        case 2:
            return a.users != b.users ? a.users > b.users : byName(a, b);
        case -2:
            return a.users != b.users ? a.users < b.users : byName(a, b);
        default:
            return byName(a, b);
        }
    });
}
