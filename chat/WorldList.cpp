#include "chat/WorldList.h"

#include "common/TextCase.h"

#include <algorithm>

void WorldList::Rebuild(const WorldRecords &records, bool hideEmpty, bool hidePrivate) {
    rows_.clear();
    rows_.reserve(records.Size());
    for (const WorldRecords::Record &record : records) {
        if ((hideEmpty && record.users == 0) || (hidePrivate && record.status == 2)) {
            continue;
        }
        rows_.push_back({record.name, record.users, record.status, FoldCase(record.name)});
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
    // Ties fall back to the name so the order is the same on every rebuild.
    std::sort(rows_.begin(), rows_.end(), [key](const Row &a, const Row &b) {
        switch (key) {
        case -1:
            return b.key < a.key;
        case 2:
            return a.users != b.users ? a.users > b.users : a.key < b.key;
        case -2:
            return a.users != b.users ? a.users < b.users : a.key < b.key;
        default:
            return a.key < b.key;
        }
    });
}
